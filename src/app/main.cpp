// sensorvisor: the monitor on the real machine.
#include "app/gui_mode.h"
#include "app/startup.h"
#include "gui/gui_main.h"
#include "sys/linux_sys.h"
#include "sys/sys.h"

int main(int argc, char** argv) {
    static LinuxSys linux_backend;
    install_sys(&linux_backend);
    install_gui_mode(&kWindowMode);
    return sensorvisor_main(argc, argv);
}
