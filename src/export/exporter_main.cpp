#include "export/exporter_main.h"

#include <getopt.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/startup.h"
#include "export/exposition.h"
#include "export/item_readings.h"
#include "export/metrics_endpoint.h"
#include "export/plugin_check.h"
#include "export/textfile.h"
#include "hw/ipmi_imb.h"

namespace {

constexpr int kUsageError = 2;  // a bad command line
constexpr int kRunError = 1;    // cannot listen, cannot write the file
constexpr unsigned kMaxInterval = 86400;
constexpr const char* kName = "sensorvisor-exporter";

enum class Mode { Listen, Textfile, Check };

struct Options {
    Mode mode = Mode::Listen;
    std::string listen = kDefaultListenAddress;
    std::string textfile;
    unsigned interval = 0;  // 0: the configuration's polling interval
    bool once = false;
};

void complain(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", kName, message.c_str());
}

void usage(FILE* out) {
    std::fprintf(out,
                 "Usage: %s [--listen ADDR:PORT] [--interval N]\n"
                 "       %s --textfile FILE [--interval N] [--once]\n"
                 "       %s --check\n"
                 "Publishes the monitored items of /etc/Senvis.ini for Prometheus.\n"
                 "  --listen ADDR:PORT  serve GET /metrics over HTTP (default %s)\n"
                 "  --textfile FILE     rewrite FILE for node_exporter's textfile collector\n"
                 "  --interval N        read every item every N seconds (default: the\n"
                 "                      configuration's POLLING)\n"
                 "  --once              with --textfile: write the file once and end\n"
                 "  --check             read every item once and print one line for Nagios\n"
                 "                      and its kin; status 0 OK, 1 WARNING, 2 CRITICAL,\n"
                 "                      3 UNKNOWN\n"
                 "  --help, --version\n",
                 kName, kName, kName, kDefaultListenAddress);
}

// Returns -1 to go on, or the status to end with.
int parse_options(int argc, char** argv, Options* options) {
    static const option kLong[] = {{"listen", required_argument, nullptr, 'l'},
                                   {"textfile", required_argument, nullptr, 'f'},
                                   {"interval", required_argument, nullptr, 'i'},
                                   {"once", no_argument, nullptr, 'o'},
                                   {"check", no_argument, nullptr, 'c'},
                                   {"help", no_argument, nullptr, 'h'},
                                   {"version", no_argument, nullptr, 'V'},
                                   {nullptr, 0, nullptr, 0}};
    bool listen = false, textfile = false, check = false;
    optind = 1;
    opterr = 0;
    for (int c; (c = getopt_long(argc, argv, "", kLong, nullptr)) != -1;) {
        switch (c) {
            case 'l':
                listen = true;
                options->listen = optarg;
                break;
            case 'f':
                textfile = true;
                options->textfile = optarg;
                break;
            case 'o':
                options->once = true;
                break;
            case 'c':
                check = true;
                break;
            case 'h':
                usage(stdout);
                return 0;
            case 'V':
                std::printf("%s %s(%s)\n", kName, kProgramVersion, kProgramBuild);
                return 0;
            case 'i': {
                char* end = nullptr;
                errno = 0;
                unsigned long value = std::strtoul(optarg, &end, 10);
                if (*optarg < '0' || *optarg > '9' || *end != '\0' || errno != 0 || value < 1 ||
                    value > kMaxInterval) {
                    complain(std::string("--interval needs a number of seconds from 1 to ") +
                             std::to_string(kMaxInterval) + ", not \"" + optarg + "\"");
                    return kUsageError;
                }
                options->interval = unsigned(value);
                break;
            }
            default:
                complain(std::string("unknown or incomplete option \"") + argv[optind - 1] +
                         "\"; see --help");
                return kUsageError;
        }
    }
    if (optind < argc) {
        complain(std::string("unexpected argument \"") + argv[optind] + "\"; see --help");
        return kUsageError;
    }
    if (int(listen) + int(textfile) + int(check) > 1) {
        complain("choose one of --listen, --textfile and --check");
        return kUsageError;
    }
    if (options->once && !textfile) {
        complain("--once goes with --textfile");
        return kUsageError;
    }
    options->mode = check ? Mode::Check : textfile ? Mode::Textfile : Mode::Listen;
    return -1;
}

// The shared start-up, up to the display records. A non-zero status when it
// failed (its message is printed).
struct Started {
    int status = 0;
    std::unique_ptr<ItemReadings> readings;
    unsigned polling = 0;
};

Started start_up() {
    Started started;
    IpmiInit();  // first, as in the monitor: it decides the SMBus transport
    MonitorStart start;
    started.status = start_monitor(&start);
    if (started.status != 0) return started;
    ItemDisplay* displays = build_item_displays(start);
    std::vector<std::string> warnings;
    started.readings = std::make_unique<ItemReadings>(start, displays, &warnings);
    for (const std::string& warning : warnings)
        std::fprintf(stderr, "Warning: %s\n", warning.c_str());
    started.polling = start.context->system->polling;
    return started;
}

// --check: the engine's own messages go to standard error, so that the one
// line is the first (and only) line on standard output.
int result_fd = -1;
bool check_done = false;

void write_result(const PluginResult& result) {
    std::fflush(nullptr);
    if (::write(result_fd, result.line.data(), result.line.size()) < 0) {
        // Nowhere left to say it.
    }
    check_done = true;
}

// A fatal error deep in start-up (/dev/mem, rewriting the configuration)
// ends the process with the monitor's status; for a check that must still be
// one line and UNKNOWN.
void check_ended_early() {
    if (check_done) return;
    write_result(
        unknown_result("the monitor ended during start-up (its message is on "
                       "standard error)"));
    ::_exit(kPluginUnknown);
}

int run_check() {
    std::fflush(stdout);
    result_fd = ::dup(STDOUT_FILENO);
    if (result_fd < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        complain("cannot set standard output aside");
        return kPluginUnknown;
    }
    std::atexit(check_ended_early);
    Started started = start_up();
    if (started.status != 0) {
        write_result(unknown_result("start-up failed (its message is on standard error)"));
        return kPluginUnknown;
    }
    started.readings->read_all();
    PluginResult result = check_items(*started.readings);
    write_result(result);
    return result.status;
}

// Blocks the stop signals in this thread and every thread started after it
// (the HTTP server's), so that they are taken only by wait_for_stop.
sigset_t stop_signals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

// Waits until the deadline; true when a stop signal came.
bool wait_for_stop(const sigset_t& signals, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() < 0) left = std::chrono::nanoseconds(0);
        timespec timeout{static_cast<time_t>(left.count() / 1000000000),
                         static_cast<long>(left.count() % 1000000000)};
        if (::sigtimedwait(&signals, nullptr, &timeout) > 0) return true;
        if (errno == EAGAIN) return false;  // the deadline passed
    }
}

int run_publisher(const Options& options) {
    MetricsEndpoint endpoint;
    const bool http = options.mode == Mode::Listen;
    if (http) {
        if (std::string error = endpoint.listen(options.listen); !error.empty()) {
            complain(error);
            return kRunError;
        }
    } else if (std::string error = check_writable_directory(options.textfile); !error.empty()) {
        complain(error);
        return kRunError;
    }
    const sigset_t signals = stop_signals();
    if (!options.once) ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    if (http) {
        if (std::string error = endpoint.start(); !error.empty()) {
            complain(error);
            return kRunError;
        }
    }

    Started started = start_up();
    if (started.status != 0) return started.status;
    const unsigned interval =
        options.interval != 0 ? options.interval : std::max(1u, started.polling);

    // Each round starts an interval after the previous one started, or at
    // once when a round took longer than that.
    for (bool first = true;; first = false) {
        const auto next = std::chrono::steady_clock::now() + std::chrono::seconds(interval);
        started.readings->read_all();
        std::string exposition = render_exposition(*started.readings, interval);
        if (http) {
            endpoint.publish(std::move(exposition));
        } else if (std::string error = write_file_atomically(options.textfile, exposition);
                   !error.empty()) {
            complain(error);
            // A later failure may pass (a full disk); the staleness alert
            // tells if it does not.
            if (first || options.once) return kRunError;
        }
        if (options.once) return 0;
        std::fflush(nullptr);
        if (wait_for_stop(signals, next)) return 0;
    }
}

}  // namespace

int exporter_main(int argc, char** argv) {
    Options options;
    if (int status = parse_options(argc, argv, &options); status >= 0) return status;
    if (options.mode == Mode::Check) return run_check();
    return run_publisher(options);
}
