// korvane: the desktop window for maintaining and programming HMI panels.
#include <cstdio>
#include <cstring>

#include "app/startup.h"
#include "system/version.h"

int main(int argc, char** argv) {
    // Answered before anything needs a display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::fputs(korvane::VersionText("korvane").c_str(), stdout);
        return 0;
    }
    return korvane::RunDesktop(argc, argv);
}
