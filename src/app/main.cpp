// korvane: the desktop window for maintaining and programming HMI panels.
#include "app/startup.h"

int main(int argc, char** argv) {
    return korvane::RunDesktop(argc, argv);
}
