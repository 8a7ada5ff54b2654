// The process list from /proc.
#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/single_instance.h"

namespace korvane {

namespace {

// /proc/<pid>/stat: "pid (name) state ppid ... starttime(22nd field) ...".
// The name may hold blanks and parentheses, so it ends at the last ')'.
std::optional<ProcessInfo> ReadStat(const std::string& pid_text) {
    std::ifstream in("/proc/" + pid_text + "/stat");
    std::string line;
    if (!std::getline(in, line))
        return std::nullopt;
    const auto open = line.find('(');
    const auto close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open)
        return std::nullopt;
    ProcessInfo p;
    p.pid = std::atoi(line.c_str());
    p.name = line.substr(open + 1, close - open - 1);
    std::istringstream rest(line.substr(close + 1));
    std::string state;
    rest >> state >> p.parent;
    // Fields 5 to 21 lie between the parent (4) and the start time (22).
    std::string skip;
    for (int field = 5; field <= 21; ++field)
        rest >> skip;
    rest >> p.started;
    if (!rest)
        return std::nullopt;
    p.alive = state != "Z" && state != "X";
    return p;
}

}  // namespace

std::optional<std::vector<ProcessInfo>> ListProcesses() {
    DIR* dir = ::opendir("/proc");
    if (!dir)
        return std::nullopt;
    std::vector<ProcessInfo> list;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        // A process that ends while we walk simply drops out.
        if (auto p = ReadStat(name))
            list.push_back(std::move(*p));
    }
    ::closedir(dir);
    return list;
}

std::optional<ProcessInfo> ThisProcess() {
    return ReadStat(std::to_string(::getpid()));
}

std::string ProcessNameOf(std::string_view executable_file_name) {
    // The kernel keeps the first 15 bytes of the file name.
    return std::string(executable_file_name.substr(0, 15));
}

}  // namespace korvane
