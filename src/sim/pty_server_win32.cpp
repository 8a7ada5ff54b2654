// Windows has no pseudo-terminals: the simulator serves UDP only there. Its
// serial side runs on Linux, where a Windows program under Wine reaches it
// as a COM port.
#include "sim/pty_server.h"

namespace korvane::sim {

PtyServer::~PtyServer() {
    Stop();
}

bool PtyServer::Start(std::string* error) {
    if (error)
        *error = "pseudo-terminals are not available on Windows";
    return false;
}

void PtyServer::Stop() {}

void PtyServer::Inject(std::vector<uint8_t>, int) {}

}  // namespace korvane::sim
