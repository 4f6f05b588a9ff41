// sensorvisor-exporter: the monitor's readings for Prometheus, on the real
// machine.
#include "export/exporter_main.h"
#include "sys/linux_sys.h"
#include "sys/sys.h"

int main(int argc, char** argv) {
    static LinuxSys linux_backend;
    install_sys(&linux_backend);
    return exporter_main(argc, argv);
}
