#include "vboard/clock.h"

#include <cerrno>
#include <cstdio>

namespace {

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
    : virtual_(model.is_virtual), base_(::time(nullptr)), real_origin_ns_(monotonic_ns()) {
    if (model.start && !parse_local_time(*model.start, &base_))
        throw BoardError(source + ": clock.start: expected \"YYYY-MM-DD HH:MM:SS\", got \"" +
                         *model.start + "\"");
}

int64_t VirtualClock::elapsed_ns() const {
    return virtual_ ? virtual_elapsed_ns_ : monotonic_ns() - real_origin_ns_;
}

time_t VirtualClock::now() const { return base_ + time_t(elapsed_ns() / 1000000000); }

void VirtualClock::sleep_ns(int64_t ns) {
    if (ns <= 0) return;
    if (virtual_) {
        virtual_elapsed_ns_ += ns;
        return;
    }
    timespec wait{time_t(ns / 1000000000), long(ns % 1000000000)};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}
