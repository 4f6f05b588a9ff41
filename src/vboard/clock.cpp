#include "vboard/clock.h"

#include <cstdio>

namespace {

// How long before the end of a real-time wait the board stops sleeping and
// spins instead (the kernel's usual lateness, with room to spare).
constexpr int64_t kSpinMarginNs = 200000;

int64_t monotonic_ns() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

}  // namespace

bool parse_local_time(const std::string& text, time_t* out) {
    int year, month, day, hour, minute, second;
    char tail;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &year, &month, &day, &hour, &minute,
                    &second, &tail) != 6)
        return false;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return false;
    tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = -1;  // let the caller's TZ decide
    time_t t = mktime(&fields);
    if (t == time_t(-1)) return false;
    *out = t;
    return true;
}

VirtualClock::VirtualClock(const ClockSpec& model, const std::string& source)
    : virtual_(model.is_virtual),
      pace_(model.pace),
      base_(::time(nullptr)),
      real_origin_ns_(monotonic_ns()) {
    if (model.start && !parse_local_time(*model.start, &base_))
        throw BoardError(source + ": clock.start: expected \"YYYY-MM-DD HH:MM:SS\", got \"" +
                         *model.start + "\"");
}

int64_t VirtualClock::elapsed_ns() const {
    return virtual_ ? virtual_elapsed_ns_ : monotonic_ns() - real_origin_ns_;
}

time_t VirtualClock::now() const {
    return base_ + time_t(elapsed_ns() / 1000000000);
}

void VirtualClock::sleep_ns(int64_t ns) {
    if (ns <= 0) return;
    if (virtual_) {
        virtual_elapsed_ns_ += ns;
        if (!pace_) return;
    }
    wait_real(ns);
}

void VirtualClock::wait_real(int64_t ns) {
    // The kernel wakes a sleeper late: the timer slack (50 us by default) and
    // the scheduler add 50-150 us, more than a port access or an SMBus byte
    // lasts, and a wait made of such sleeps would charge the program for the
    // kernel's lateness. So the board sleeps until shortly before the end and
    // spins on the clock for the rest; a wait shorter than the margin only
    // spins.
    const int64_t deadline = monotonic_ns() + ns;
    if (ns > kSpinMarginNs) {
        const int64_t wake = deadline - kSpinMarginNs;
        timespec until{time_t(wake / 1000000000), long(wake % 1000000000)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
        }
    }
    int64_t now = monotonic_ns();
    while (now < deadline) now = monotonic_ns();
    late_ns_ += now - deadline;
}
