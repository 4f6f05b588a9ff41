// sensorvisor: the monitor on the real machine.
#include "app/startup.h"
#include "sys/linux_sys.h"
#include "sys/sys.h"

int main(int argc, char** argv) {
    static LinuxSys linux_backend;
    install_sys(&linux_backend);
    return sensorvisor_main(argc, argv);
}
