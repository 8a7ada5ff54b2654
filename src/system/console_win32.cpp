#include <windows.h>

#include <iostream>
#include <streambuf>
#include <string>

#include "system/console.h"

namespace korvane {

namespace {

std::atomic<bool>* g_interrupt = nullptr;
HANDLE g_stop_event = nullptr;

BOOL WINAPI OnInterrupt(DWORD type) {
    const bool ending =
        type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT;
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && !ending)
        return FALSE;
    g_interrupt->store(true);
    // The process ends as soon as this returns for a closing console, a
    // log-off or a shutdown: give the run time to stop and say so. The
    // process's own end cuts this wait short.
    if (ending)
        Sleep(4000);
    return TRUE;
}

BOOL WINAPI OnStop(DWORD type) {
    SetEvent(g_stop_event);
    // The process ends as soon as this returns for a closing console, a
    // log-off or a shutdown: give the main thread time to stop its servers.
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT)
        Sleep(4000);
    return TRUE;
}

// Length of the part of `bytes` that ends on a whole UTF-8 sequence, so that
// a character split across two writes is converted once it is complete.
size_t CompleteUtf8Prefix(const std::string& bytes) {
    const size_t size = bytes.size();
    for (size_t back = 1; back <= 3 && back <= size; ++back) {
        const auto c = static_cast<unsigned char>(bytes[size - back]);
        if ((c & 0xC0) == 0x80)
            continue;  // a continuation byte: look further back for the lead
        const size_t needed = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return needed > back ? size - back : size;
    }
    return size;
}

// Writes the stream's UTF-8 text to a console window as UTF-16, which shows
// it whatever code page the console has.
class ConsoleBuffer : public std::streambuf {
  public:
    explicit ConsoleBuffer(HANDLE console) : console_(console) {}

  protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        pending_.push_back(traits_type::to_char_type(c));
        if (c == '\n')
            Flush();
        return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        pending_.append(s, static_cast<size_t>(n));
        if (pending_.size() >= 4096 || pending_.find('\n') != std::string::npos)
            Flush();
        return n;
    }
    int sync() override { return Flush() ? 0 : -1; }

  private:
    bool Flush() {
        const size_t whole = CompleteUtf8Prefix(pending_);
        if (whole == 0)
            return true;
        // Bytes that are no UTF-8 become U+FFFD rather than vanishing.
        const int wide_len =
            MultiByteToWideChar(CP_UTF8, 0, pending_.data(), static_cast<int>(whole), nullptr, 0);
        std::wstring wide(static_cast<size_t>(wide_len), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, pending_.data(), static_cast<int>(whole), wide.data(),
                            wide_len);
        pending_.erase(0, whole);
        const wchar_t* p = wide.data();
        DWORD left = static_cast<DWORD>(wide.size());
        while (left > 0) {
            DWORD written = 0;
            if (!WriteConsoleW(console_, p, left, &written, nullptr) || written == 0)
                return false;
            p += written;
            left -= written;
        }
        return true;
    }

    HANDLE console_;
    std::string pending_;
};

bool IsConsole(HANDLE h) {
    DWORD mode = 0;
    return h != nullptr && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode) != 0;
}

}  // namespace

void SetInterruptFlag(std::atomic<bool>* flag) {
    g_interrupt = flag;
    SetConsoleCtrlHandler(OnInterrupt, TRUE);
}

void WaitForStopRequest() {
    g_stop_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!g_stop_event)
        return;
    SetConsoleCtrlHandler(OnStop, TRUE);
    WaitForSingleObject(g_stop_event, INFINITE);
}

bool StderrIsTerminal() {
    return IsConsole(GetStdHandle(STD_ERROR_HANDLE));
}

void PrepareConsoleOutput() {
    // Never freed: the streams flush through them until the process ends.
    if (HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE); IsConsole(out)) {
        std::cout.flush();
        std::cout.rdbuf(new ConsoleBuffer(out));
    }
    if (HANDLE err = GetStdHandle(STD_ERROR_HANDLE); IsConsole(err)) {
        std::cerr.flush();
        std::cerr.rdbuf(new ConsoleBuffer(err));
    }
}

}  // namespace korvane
