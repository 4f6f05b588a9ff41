// sensorvisor-bench: runs the monitor in process on a virtual board and
// measures what one text report and one full set of readings cost.
//
//   sensorvisor-bench --board FILE [--rounds N] [--latency] [--callgrind]
//
// Three phases; the last two run on the records that start-up left behind:
//   startup   the whole `sensorvisor -t` run (start-up, display records, one
//             report), once; its report is checked: every monitored item
//             printed, no "N/A", no "Warning!", nothing on standard error;
//   report    text_build_Items, the report alone (standard output goes to
//             /dev/null);
//   readings  get_item_reading once for every monitored item, nothing printed.
//
// For each phase it prints "key value" lines: the bus operations of one round
// by kind, counted from the board's trace, and
//   (default)    the process's CPU time per round at zero latency, virtual clock;
//   --latency    with port 1 us, i2c 400 us a byte, ipmi 20 ms and a real clock:
//                the wall time, the bus time the board charged and how late
//                the board's waits ended (the kernel's and scheduler's share);
//   --callgrind  under callgrind, each phase's rounds dumped twice: every
//                instruction ("<phase>-all"), then the monitor's own
//                ("<phase>-own": collection is off inside the board).
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/item_displays.h"
#include "app/startup.h"
#include "bench/metered_sys.h"
#include "config/run_context.h"
#include "items/acquisition.h"
#include "sys/sys.h"
#include "vboard/seed.h"
#include "vboard/virtual_board.h"

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define BENCH_HAVE_CALLGRIND 1
#else
#define BENCH_HAVE_CALLGRIND 0
#endif

namespace fs = std::filesystem;

void MeteredSys::callgrind_toggle() {
#if BENCH_HAVE_CALLGRIND
    CALLGRIND_TOGGLE_COLLECT;
#endif
}

namespace {

// The results; standard output itself goes to /dev/null while the report runs.
FILE* results = stdout;

struct Options {
    std::string board_file;
    int rounds = 0;  // 0: the mode's default
    bool latency = false;
    bool callgrind = false;
};

// Bus operations by kind, from trace lines. Port: inb/outb/inl/outl. i2c: an
// SMBus transaction (the "i2c N 0xAA ..." lines; selecting the slave is an
// ioctl with no bus traffic and counts as other). ipmi: a BMC request.
struct BusCounts {
    long port = 0, i2c = 0, ipmi = 0, other = 0;
};

bool starts_with(const std::string& s, const char* prefix) {
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

BusCounts classify(const std::vector<std::string>& lines) {
    BusCounts c;
    for (const std::string& line : lines) {
        if (starts_with(line, "inb ") || starts_with(line, "outb ") || starts_with(line, "inl ") ||
            starts_with(line, "outl ")) {
            ++c.port;
        } else if (starts_with(line, "ipmi ")) {
            ++c.ipmi;
        } else if (starts_with(line, "i2c ")) {
            std::istringstream words(line);
            std::string i2c, bus, third;
            words >> i2c >> bus >> third;
            (starts_with(third, "0x") ? c.i2c : c.other)++;
        } else {
            ++c.other;
        }
    }
    return c;
}

int64_t clock_ns(clockid_t id) {
    timespec ts{};
    clock_gettime(id, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "sensorvisor-bench: %s\n", message.c_str());
    std::exit(1);
}

// Points a standard descriptor at a file for a while.
class Redirect {
public:
    Redirect(int fd, const std::string& path) : fd_(fd), saved_(dup(fd)) {
        std::fflush(nullptr);
        int target = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (saved_ < 0 || target < 0) fail("cannot redirect to " + path);
        dup2(target, fd_);
        ::close(target);
    }
    ~Redirect() {
        std::fflush(nullptr);
        dup2(saved_, fd_);
        ::close(saved_);
    }
    Redirect(const Redirect&) = delete;
    Redirect& operator=(const Redirect&) = delete;

private:
    int fd_;
    int saved_;
};

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Bench {
    VirtualBoard* board;
    MeteredSys* metered;
    std::string scratch;  // the temporary directory (root and captures)
    int monitored = 0;
};

void print_counts(const char* phase, const BusCounts& c, int items) {
    std::fprintf(results, "%s.port %ld\n%s.i2c %ld\n%s.ipmi %ld\n%s.other %ld\n", phase, c.port,
                 phase, c.i2c, phase, c.ipmi, phase, c.other);
    std::fprintf(results, "%s.items %d\n", phase, items);
}

// Runs `round` once with the trace kept, to count its operations; returns
// the counts. Every round of a normal board makes the same operations.
template <class F>
BusCounts count_round(Bench& b, F&& round) {
    b.board->trace().clear();
    b.board->trace().keep_in_memory(true);
    round();
    b.board->trace().keep_in_memory(false);
    BusCounts c = classify(b.board->trace().lines());
    b.board->trace().clear();
    return c;
}

// CPU time per round: the best of five batches (the machine may be shared;
// the least disturbed batch is the closest to the program's own cost).
template <class F>
void time_rounds(const char* phase, int rounds, F&& round) {
    int64_t best = INT64_MAX;
    for (int batch = 0; batch < 5; ++batch) {
        int64_t cpu0 = clock_ns(CLOCK_PROCESS_CPUTIME_ID);
        for (int i = 0; i < rounds; ++i) round();
        best = std::min(best, clock_ns(CLOCK_PROCESS_CPUTIME_ID) - cpu0);
    }
    std::fprintf(results, "%s.rounds %d\n%s.cpu_ns_per_round %lld\n", phase, rounds, phase,
                 static_cast<long long>(best / rounds));
}

// Wall time against the bus time the board charged (real clock).
template <class F>
void time_latency(Bench& b, const char* phase, int rounds, F&& round) {
    int64_t charged0 = b.board->charged_bus_ns();
    int64_t late0 = b.board->clock().late_ns();
    int64_t wall0 = clock_ns(CLOCK_MONOTONIC);
    for (int i = 0; i < rounds; ++i) round();
    int64_t wall = clock_ns(CLOCK_MONOTONIC) - wall0;
    int64_t charged = b.board->charged_bus_ns() - charged0;
    int64_t late = b.board->clock().late_ns() - late0;
    std::fprintf(results, "%s.rounds %d\n%s.wall_ns %lld\n%s.bus_ns %lld\n%s.late_ns %lld\n", phase,
                 rounds, phase, static_cast<long long>(wall), phase,
                 static_cast<long long>(charged), phase, static_cast<long long>(late));
}

template <class F>
void callgrind_rounds(Bench& b, const char* phase, int rounds, F&& round) {
#if BENCH_HAVE_CALLGRIND
    std::string all = std::string(phase) + "-all", own = std::string(phase) + "-own";
    CALLGRIND_ZERO_STATS;
    CALLGRIND_TOGGLE_COLLECT;
    for (int i = 0; i < rounds; ++i) round();
    CALLGRIND_TOGGLE_COLLECT;
    CALLGRIND_DUMP_STATS_AT(all.c_str());
    b.metered->set_exclude_from_callgrind(true);
    CALLGRIND_TOGGLE_COLLECT;
    for (int i = 0; i < rounds; ++i) round();
    CALLGRIND_TOGGLE_COLLECT;
    b.metered->set_exclude_from_callgrind(false);
    CALLGRIND_DUMP_STATS_AT(own.c_str());
    std::fprintf(results, "%s.callgrind_rounds %d\n", phase, rounds);
#else
    (void)b, (void)rounds, (void)round;
    std::fprintf(results, "%s.callgrind unavailable\n", phase);
#endif
}

// The whole `sensorvisor -t` run, with its report checked.
void startup_phase(Bench& b, const Options& o) {
    std::string out = b.scratch + "/report.txt", err = b.scratch + "/stderr.txt";
    char name[] = "sensorvisor", dash_t[] = "-t";
    char* argv[] = {name, dash_t, nullptr};
    b.board->trace().keep_in_memory(true);
    int64_t charged0 = b.board->charged_bus_ns();
    int64_t wall0 = clock_ns(CLOCK_MONOTONIC);
    int64_t cpu0 = clock_ns(CLOCK_PROCESS_CPUTIME_ID);
    int status;
    {
        Redirect to_out(1, out), to_err(2, err);
        status = sensorvisor_main(2, argv);
    }
    int64_t cpu = clock_ns(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    int64_t wall = clock_ns(CLOCK_MONOTONIC) - wall0;
    int64_t charged = b.board->charged_bus_ns() - charged0;
    b.board->trace().keep_in_memory(false);
    BusCounts counts = classify(b.board->trace().lines());
    b.board->trace().clear();

    std::string report = slurp(out), errors = slurp(err);
    if (status != 0) fail("sensorvisor -t ended with status " + std::to_string(status));
    if (!errors.empty()) fail("sensorvisor -t wrote on standard error:\n" + errors);
    if (report.find("N/A") != std::string::npos || report.find("Warning!") != std::string::npos)
        fail("the report is not clean:\n" + report);
    RunContext* ctx = myspSenvis;
    for (int32_t i = 0; i < ctx->itemCount; ++i)
        if (ctx->items[i].monitor == 1) ++b.monitored;
    // From the header on: the header, the hyphen line, one line per monitored
    // item and the closing time line (the banner comes before).
    size_t header = report.find("Monitored Item");
    if (header == std::string::npos) fail("no report:\n" + report);
    long lines = std::count(report.begin() + long(header), report.end(), '\n');
    if (lines != b.monitored + 3)
        fail("the report has " + std::to_string(lines) + " lines for " +
             std::to_string(b.monitored) + " monitored items:\n" + report);

    std::fprintf(results, "report_clean yes\n");
    print_counts("startup", counts, b.monitored);
    std::fprintf(results, "startup.cpu_ns %lld\nstartup.wall_ns %lld\n",
                 static_cast<long long>(cpu), static_cast<long long>(wall));
    if (o.latency) std::fprintf(results, "startup.bus_ns %lld\n", static_cast<long long>(charged));
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        if (word == "--board" && i + 1 < argc)
            o.board_file = argv[++i];
        else if (word == "--rounds" && i + 1 < argc)
            o.rounds = std::atoi(argv[++i]);
        else if (word == "--latency")
            o.latency = true;
        else if (word == "--callgrind")
            o.callgrind = true;
        else
            fail("usage: sensorvisor-bench --board FILE [--rounds N] [--latency] [--callgrind]");
    }
    if (o.board_file.empty()) fail("--board FILE is required");
    if (o.rounds < 0) fail("--rounds must be positive");
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    Options o = parse(argc, argv);
    Board model;
    try {
        model = load_board_file(o.board_file);
    } catch (const BoardError& error) {
        fail(error.what());
    }
    model.clock.pace = false;  // a bundled board's pace would add real waits to the rounds
    if (o.latency) {
        model.latency.port_ns = 1000;  // an LPC I/O cycle with the chip's wait states
        model.latency.i2c_us = 400;    // a byte on a slow SMBus, the driver's work included
        model.latency.ipmi_ms = 20;    // a BMC's answer
        model.clock.is_virtual = false;
    }

    std::string pattern = (fs::temp_directory_path() / "sensorvisor-bench.XXXXXX").string();
    if (!mkdtemp(pattern.data())) fail("cannot create a temporary directory");
    Bench b;
    b.scratch = pattern;
    std::string root = b.scratch + "/root";
    auto board = std::make_unique<VirtualBoard>(std::move(model), root);
    try {
        seed_root(SeedPlan(*board, shipped_data_dir()), root);
    } catch (const std::exception& error) {
        fail(error.what());
    }
    MeteredSys metered(*board);
    b.board = board.get();
    b.metered = &metered;
    install_sys(&metered);

    std::fprintf(results, "board %s\n", o.board_file.c_str());
    startup_phase(b, o);

    RunContext* ctx = myspSenvis;
    ItemDisplay* disps = createItemDisps(ctx->system, ctx->items, ctx->itemCount, ctx->parameters,
                                         ctx->parameterCount);
    auto report = [&] {
        text_build_Items(disps, ctx->system, ctx->items, ctx->itemCount, ctx->parameters,
                         ctx->parameterCount);
    };
    auto readings = [&] {
        for (int32_t i = 0; i < ctx->itemCount; ++i) {
            if (disps[i].monitor != 1) continue;
            int64_t value = 0;
            get_item_reading(ctx->system, ctx->items, ctx->itemCount, ctx->parameters,
                             ctx->parameterCount, &ctx->items[i], &value);
        }
    };

    // The report prints on standard output: to /dev/null from here on.
    std::fflush(nullptr);
    results = fdopen(dup(1), "w");
    if (results == nullptr) fail("cannot keep standard output");
    Redirect quiet(1, "/dev/null");

    print_counts("report", count_round(b, report), b.monitored);
    print_counts("readings", count_round(b, readings), b.monitored);
    if (o.callgrind) {
        int rounds = o.rounds > 0 ? o.rounds : 3;
        callgrind_rounds(b, "report", rounds, report);
        callgrind_rounds(b, "readings", rounds, readings);
    } else if (o.latency) {
        int rounds = o.rounds > 0 ? o.rounds : 3;
        time_latency(b, "report", rounds, report);
        time_latency(b, "readings", rounds, readings);
    } else {
        int rounds = o.rounds > 0 ? o.rounds : 100;
        time_rounds("report", rounds, report);
        time_rounds("readings", rounds, readings);
    }

    std::fclose(results);
    install_sys(nullptr);
    board.reset();
    std::error_code ignored;
    fs::remove_all(b.scratch, ignored);
    return 0;
}
