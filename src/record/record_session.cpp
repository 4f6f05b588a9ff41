#include "record/record_session.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/staged_file.h"
#include "record/recorded_board.h"
#include "record/recording_sys.h"
#include "sys/linux_sys.h"

namespace {

constexpr int kLauncherError = 2;
constexpr int kSignalStatusBase = 128;  // a run ended by signal N ends with 128 + N
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
// More notes than this are summed up in one line.
constexpr size_t kNotesShown = 10;

// Static: the program leaves through exit() from deep inside.
std::unique_ptr<RecordingSys> recorder;
RecordRequest request;
RecordingFacts facts;
bool finished = false;

// Touched by the signal handler.
volatile sig_atomic_t stop_signal = 0;
volatile sig_atomic_t pausing = 0;
std::string waiting_line;    // an interrupt outside a pause
std::string abandoned_line;  // a second interrupt

void complain(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", request.launcher, message.c_str());
}

void on_stop_signal(int signo) {
    if (stop_signal != 0) {
        ssize_t written = ::write(STDERR_FILENO, abandoned_line.data(), abandoned_line.size());
        (void)written;
        ::_exit(kSignalStatusBase + signo);
    }
    stop_signal = signo;
    if (!pausing) {
        ssize_t written = ::write(STDERR_FILENO, waiting_line.data(), waiting_line.size());
        (void)written;
    }
}

void set_stop_handlers(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    for (int signo : kStopSignals) sigaddset(&action.sa_mask, signo);  // one at a time
    action.sa_flags = SA_RESTART;  // the run's reads and waits go on as if nothing happened
    for (int signo : kStopSignals) sigaction(signo, &action, nullptr);
}

void block_stop_signals() {
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int signo : kStopSignals) sigaddset(&blocked, signo);
    sigprocmask(SIG_BLOCK, &blocked, nullptr);
}

LinuxSys& host() {
    static LinuxSys files;  // the recording is a file of the machine that runs the launcher
    return files;
}

// Whether the recording can be written at all, tried before the run: a
// recording that is lost at the end of a long run is worth less than no run.
bool can_write(const std::string& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        complain("cannot write the recording " + file + ": " + std::strerror(EISDIR));
        return false;
    }
    StagedFile probe(host(), file, "", 0644);  // removed again unless committed
    if (probe.result() != StageResult::Done) {
        complain("cannot write the recording " + file + ": " + std::strerror(probe.error()));
        return false;
    }
    return true;
}

// Writes the recording, once; returns the status to end with.
int finish(int status) {
    if (finished) return status;
    finished = true;
    block_stop_signals();  // the file is written whole: nothing cuts in now
    ReplayNotes notes;
    std::string text = recorded_board_file(recorder->seen(), facts, notes);
    StagedFile staged(host(), request.file, text, 0644);
    if (staged.commit() != StageResult::Done) {
        complain("cannot write the recording " + request.file + ": " +
                 std::strerror(staged.error()));
        return kLauncherError;
    }
    const auto& lines = notes.lines();
    for (size_t i = 0; i < lines.size() && i < kNotesShown; ++i)
        complain(request.file + " will not replay exactly: " + lines[i]);
    if (lines.size() > kNotesShown)
        complain(request.file + " will not replay exactly in " +
                 std::to_string(lines.size() - kNotesShown) + " more places");
    return status;
}

// The run pauses between reports: where an interrupt ends it.
void on_pause(bool starting) {
    pausing = starting;
    if (stop_signal == 0) return;
    int signo = stop_signal;
    int status = finish(kSignalStatusBase + signo);
    if (status != kLauncherError)
        complain("interrupted: the run until now is recorded in " + request.file);
    std::fflush(nullptr);
    recorder->exit(status);  // finished: ends the process with this status
}

}  // namespace

int run_recorded(Sys& machine, const RecordRequest& wanted, int (*main)(int, char**),
                 std::vector<char*> argv) {
    request = wanted;
    if (!can_write(request.file)) return kLauncherError;
    recorder = std::make_unique<RecordingSys>(machine, request.keep_serials);
    if (!request.trace_file.empty() && !recorder->trace().open_file(request.trace_file)) {
        complain("cannot open trace file " + request.trace_file + ": " + std::strerror(errno));
        return kLauncherError;
    }
    facts.recorder = request.launcher;
    facts.keep_serials = request.keep_serials;
    for (char* word : argv) {
        if (!word) break;
        facts.command_line += (facts.command_line.empty() ? "" : " ") + std::string(word);
    }
    recorder->set_hooks({on_pause, finish});

    waiting_line = std::string(request.launcher) +
                   ": interrupted: the recording stops at the run's next pause (interrupt again "
                   "to abandon it)\n";
    abandoned_line = std::string(request.launcher) + ": interrupted again: " + request.file +
                     " is not written\n";
    set_stop_handlers(on_stop_signal);

    if (argv.empty() || argv.back() != nullptr) argv.push_back(nullptr);
    install_sys(recorder.get());
    int status = main(int(argv.size() - 1), argv.data());
    return finish(status);
}
