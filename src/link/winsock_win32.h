#pragma once
// What the Windows socket files share: WinSock 2.2, started once for the
// process and left running to its end, and the SOCKET behind a NativeHandle.
#include <winsock2.h>

#include "system/native_handle.h"

namespace korvane {

inline bool WinSockStarted() {
    static const bool started = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

inline SOCKET AsSocket(NativeHandle h) {
    return static_cast<SOCKET>(h);
}

}  // namespace korvane
