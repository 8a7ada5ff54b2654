#include "app/single_instance.h"

#include "settings/program_files.h"

namespace korvane {

InstanceCheck DecideInstance(const std::vector<ProcessInfo>& processes, const ProcessInfo& self,
                             std::string_view name) {
    // Unlike a walk that stops the caller at any second match, only a copy
    // that shares *our* parent and started before us counts: two copies from
    // some other parent never stop this one, and of two copies started in the
    // same tick the one with the lower id stays.
    for (const ProcessInfo& p : processes) {
        if (p.pid == self.pid || !p.alive || p.name != name || p.parent != self.parent)
            continue;
        if (p.started < self.started || (p.started == self.started && p.pid < self.pid))
            return InstanceCheck::AnotherCopy;
    }
    return InstanceCheck::Alone;
}

InstanceCheck CheckSingleInstance() {
    const auto self = ThisProcess();
    const auto processes = ListProcesses();
    if (!self || !processes)
        return InstanceCheck::Unavailable;
    const std::string exe = RunningExecutable().filename().string();
    return DecideInstance(*processes, *self, ProcessNameOf(exe.empty() ? self->name : exe));
}

}  // namespace korvane
