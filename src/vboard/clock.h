// The board's clock. With a start time the sandbox's local time begins there;
// a virtual clock advances only when the program sleeps (or a bus access
// spends latency), so a run is repeatable and a report loop costs no real
// time. A paced virtual clock still reads only what was waited for, but each
// wait also takes its time for real, so that a report loop keeps a real
// machine's rhythm while its time lines and changing values stay repeatable.
#pragma once

#include <cstdint>
#include <ctime>

#include "vboard/board.h"

class VirtualClock {
public:
    // Throws BoardError if the start time does not parse.
    explicit VirtualClock(const ClockSpec& model, const std::string& source = "board");

    bool is_virtual() const { return virtual_; }
    // Seconds since the epoch, as time() returns them.
    time_t now() const;
    // Nanoseconds since the clock began (the board's own notion of elapsed time).
    int64_t elapsed_ns() const;
    // Waits: at once on a virtual clock that is not paced, really otherwise.
    void sleep_ns(int64_t ns);
    // How much later than asked the real-time waits ended, in all: the
    // kernel's and the scheduler's share of the wall time, not the program's.
    int64_t late_ns() const { return late_ns_; }

private:
    void wait_real(int64_t ns);

    bool virtual_;
    bool pace_;
    time_t base_;             // time() at elapsed 0
    int64_t real_origin_ns_;  // monotonic clock when the board started
    int64_t virtual_elapsed_ns_ = 0;
    int64_t late_ns_ = 0;
};

// Parses "YYYY-MM-DD HH:MM:SS" as local time; false if malformed.
bool parse_local_time(const std::string& text, time_t* out);
