#include "hw/smbus_routes.h"

namespace smbus_routes {

uint32_t detected_kinds() {
    return (bPepperconIPMI ? kPeppercon : 0) | (bOBWinbondIPMI ? kOBWinbond : 0) |
           (bAOWinbondIPMI ? kAOWinbond : 0) | (bOBWinbondATenIPMI ? kOBWinbondATen : 0);
}

namespace {

bool bus_covers(BusMatch wide, BusMatch narrow) {
    return wide == BusMatch::either || wide == narrow;
}

// Every access that `later` would take, `earlier` takes first.
bool shadows(const Condition& earlier, const Condition& later) {
    bool kinds = earlier.kinds == kAnyKind ||
                 (later.kinds != kAnyKind && (later.kinds & ~earlier.kinds) == 0);
    bool slave = !earlier.privateSlave || later.privateSlave;
    bool chip = earlier.chipCode == kAnyChip || earlier.chipCode == later.chipCode;
    return bus_covers(earlier.bus, later.bus) && kinds && slave && chip;
}

template <class Route, class HasCommand>
const char* check(std::span<const Route> routes, HasCommand has_command) {
    for (size_t j = 0; j < routes.size(); ++j) {
        if (!has_command(routes[j])) return "a route without a command";
        for (size_t i = 0; i < j; ++i)
            if (shadows(routes[i].when, routes[j].when))
                return "a route that an earlier route makes unreachable";
    }
    return nullptr;
}

}  // namespace

const char* check_routes(std::span<const ReadRoute> routes) {
    return check(routes, [](const ReadRoute& r) { return r.read != nullptr; });
}

const char* check_routes(std::span<const WriteRoute> routes) {
    return check(routes, [](const WriteRoute& r) { return r.write != nullptr; });
}

const char* check_routes(std::span<const WordRoute> routes) {
    return check(routes,
                 [](const WordRoute& r) { return (r.halves == nullptr) != (r.word == nullptr); });
}

}  // namespace smbus_routes
