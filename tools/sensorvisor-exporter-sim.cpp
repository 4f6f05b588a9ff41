// sensorvisor-exporter-sim: the exporter on a virtual board, with the same
// launcher options as sensorvisor-sim; the words after them (or after --)
// are the exporter's.
#include <cstdio>
#include <cstdlib>

#include "export/exporter_main.h"
#include "vboard/launcher.h"

int main(int argc, char** argv) {
    int status = run_launcher(
        argc, argv,
        {"sensorvisor-exporter-sim", "sensorvisor-exporter", "-- --help", exporter_main});
    std::fflush(nullptr);
    std::exit(status);  // runs the session's clean-up (temporary root)
}
