#include "support/sim_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

SimProcess::SimProcess(const std::vector<std::string>& args,
                       const std::vector<std::string>& environment, int timeout_seconds) {
    std::string out_path = capture_.path() + "/out";
    std::string err_path = capture_.path() + "/err";

    std::vector<char*> argv;
    std::string program = SV_SIM_PATH;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (std::string& arg : copies) argv.push_back(arg.data());
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
        alarm(unsigned(timeout_seconds));  // a hung run fails the test instead of the suite
        execv(argv[0], argv.data());
        _exit(127);
    }
}

SimProcess::~SimProcess() {
    if (child_ <= 0) return;
    kill(child_, SIGKILL);
    waitpid(child_, nullptr, 0);
}

bool SimProcess::running() {
    siginfo_t info{};
    return child_ > 0 && waitid(P_PID, id_t(child_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
}

SimResult SimProcess::finish() {
    int status = 0;
    while (waitpid(child_, &status, 0) < 0) {
    }
    child_ = -1;
    SimResult result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = read_whole_file(capture_.path() + "/out");
    result.err = read_whole_file(capture_.path() + "/err");
    return result;
}

SimResult run_sim(const std::vector<std::string>& args, const std::vector<std::string>& environment,
                  int timeout_seconds) {
    return SimProcess(args, environment, timeout_seconds).finish();
}
