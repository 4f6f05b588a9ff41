#include "sys/sys.h"

#include <cstdio>
#include <cstdlib>

namespace {
Sys* current_backend = nullptr;
}

Sys& sys() {
    if (current_backend == nullptr) {
        // A programming error, not a runtime condition: no code may reach the
        // hardware before main has chosen a backend.
        std::fputs("sensorvisor: internal error: no OS backend installed\n", stderr);
        std::abort();
    }
    return *current_backend;
}

void install_sys(Sys* backend) { current_backend = backend; }

ScopedSys::ScopedSys(Sys& backend) : previous_(current_backend) { current_backend = &backend; }

ScopedSys::~ScopedSys() { current_backend = previous_; }
