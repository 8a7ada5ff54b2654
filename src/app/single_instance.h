#pragma once
// One copy per parent: a copy of the program started while an earlier copy
// from the same parent runs ends at once (a line on stderr, exit status
// kAlreadyRunningStatus, no window). Copies with different parents all run.
// Nothing passes between the copies, so the first window is not raised.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

struct ProcessInfo {
    int pid = 0;
    int parent = 0;
    std::string name;      // executable name as the system keeps it (may be cut short)
    uint64_t started = 0;  // start time, in the system's ticks since boot
    bool alive = true;     // false for a process that has ended but not been reaped
};

enum class InstanceCheck {
    Alone,        // this copy goes on
    AnotherCopy,  // an earlier copy from the same parent runs: end now
    Unavailable,  // the process list could not be read
};

// The decision for `self` among `processes`, matching names with `name`
// exactly (letter case counts). The earlier start wins; equal starts go to
// the lower process id, so two copies started together leave exactly one.
InstanceCheck DecideInstance(const std::vector<ProcessInfo>& processes, const ProcessInfo& self,
                             std::string_view name);

// --- one platform file: single_instance_proc.cpp ---------------------------
// The running processes, or nothing when the list cannot be read.
std::optional<std::vector<ProcessInfo>> ListProcesses();
std::optional<ProcessInfo> ThisProcess();
// The name the process list gives a program with this file name.
std::string ProcessNameOf(std::string_view executable_file_name);

// ListProcesses, ThisProcess and DecideInstance for our executable's name.
InstanceCheck CheckSingleInstance();

}  // namespace korvane
