#include "support/sim_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace {

int exit_status(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::vector<std::string>& environment, int timeout_seconds) {
    std::string out_path = capture_.path() + "/out";
    std::string err_path = capture_.path() + "/err";
    std::vector<std::string> words = {program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    fflush(nullptr);
    child_ = fork();
    if (child_ < 0) throw std::runtime_error("fork failed");
    if (child_ == 0) {
        int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int in = open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0) _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        unsetenv("DISPLAY");
        for (const std::string& entry : environment) putenv(const_cast<char*>(entry.c_str()));
        if (timeout_seconds > 0) alarm(unsigned(timeout_seconds));  // a hung run fails the test
        execv(argv[0], argv.data());
        _exit(127);
    }
}

ChildProcess::~ChildProcess() { stop(); }

bool ChildProcess::running() {
    if (child_ <= 0) return false;
    int status = 0;
    if (waitpid(child_, &status, WNOHANG) != child_) return true;
    collect(status);
    return false;
}

SimResult ChildProcess::collect(int status) {
    child_ = -1;
    result_.status = exit_status(status);
    result_.out = read_whole_file(capture_.path() + "/out");
    result_.err = read_whole_file(capture_.path() + "/err");
    return result_;
}

SimResult ChildProcess::finish() {
    if (child_ <= 0) return result_;
    int status = 0;
    while (waitpid(child_, &status, 0) < 0) {
    }
    return collect(status);
}

SimResult ChildProcess::stop() {
    if (!running()) return result_;
    kill(child_, SIGTERM);
    int status = 0;
    for (int waited = 0; waitpid(child_, &status, WNOHANG) != child_; ++waited) {
        if (waited == 50) kill(child_, SIGKILL);
        usleep(100000);
    }
    return collect(status);
}

SimResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const std::vector<std::string>& environment, int timeout_seconds) {
    return ChildProcess(program, args, environment, timeout_seconds).finish();
}

SimResult run_sim(const std::vector<std::string>& args, const std::vector<std::string>& environment,
                  int timeout_seconds) {
    return run_program(SV_SIM_PATH, args, environment, timeout_seconds);
}
