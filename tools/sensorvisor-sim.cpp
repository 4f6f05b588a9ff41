// sensorvisor-sim: runs the unmodified monitor on a virtual board described by
// a board file, inside a sandbox directory that stands in for "/".
#include <cstdio>
#include <cstdlib>

#include "app/gui_mode.h"
#include "app/startup.h"
#include "gui/gui_main.h"
#include "vboard/launcher.h"

int main(int argc, char** argv) {
    install_gui_mode(&kWindowMode);  // the launcher opens the window like the monitor
    int status =
        run_launcher(argc, argv, {"sensorvisor-sim", "sensorvisor", "-h", sensorvisor_main});
    std::fflush(nullptr);
    std::exit(status);  // runs the session's clean-up (temporary root)
}
