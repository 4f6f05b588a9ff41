#include "support/sim_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "support/sandbox.h"

namespace {

// Forks and execs `program` with its output in `out` and `err`; the child
// ends itself after `timeout_seconds` (0: never).
pid_t spawn(const std::string& program, const std::vector<std::string>& args,
            const std::vector<std::string>& environment, int timeout_seconds,
            const std::string& out_path, const std::string& err_path) {
    std::vector<char*> argv;
    std::string name = program;
    argv.push_back(name.data());
    std::vector<std::string> copies = args;
    for (std::string& arg : copies) argv.push_back(arg.data());
    argv.push_back(nullptr);

    fflush(nullptr);
    pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int in = open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0) _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        for (const std::string& entry : environment) putenv(const_cast<char*>(entry.c_str()));
        if (timeout_seconds > 0) alarm(unsigned(timeout_seconds));  // a hung run fails the test
        execv(argv[0], argv.data());
        _exit(127);
    }
    return child;
}

int exit_status(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

SimResult run_sim(const std::vector<std::string>& args, const std::vector<std::string>& environment,
                  int timeout_seconds) {
    return run_program(SV_SIM_PATH, args, environment, timeout_seconds);
}

SimResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const std::vector<std::string>& environment, int timeout_seconds) {
    TempDir capture;
    std::string out_path = capture.path() + "/out";
    std::string err_path = capture.path() + "/err";

    pid_t child = spawn(program, args, environment, timeout_seconds, out_path, err_path);
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    SimResult result;
    result.status = exit_status(status);
    result.out = read_whole_file(out_path);
    result.err = read_whole_file(err_path);
    return result;
}

BackgroundProgram::BackgroundProgram(const std::string& program,
                                     const std::vector<std::string>& args) {
    dir_ = make_scratch_dir("sv-bg");
    child_ = spawn(program, args, {}, 0, dir_ + "/out", dir_ + "/err");
}

BackgroundProgram::~BackgroundProgram() {
    stop();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

bool BackgroundProgram::running() {
    if (child_ < 0) return false;
    int status = 0;
    if (waitpid(child_, &status, WNOHANG) != child_) return true;
    child_ = -1;
    result_.status = exit_status(status);
    return false;
}

SimResult BackgroundProgram::stop() {
    if (running()) {
        kill(child_, SIGTERM);
        int status = 0;
        for (int waited = 0; waitpid(child_, &status, WNOHANG) != child_; ++waited) {
            if (waited == 50) kill(child_, SIGKILL);
            usleep(100000);
        }
        child_ = -1;
        result_.status = exit_status(status);
    }
    result_.out = read_whole_file(dir_ + "/out");
    result_.err = read_whole_file(dir_ + "/err");
    return result_;
}
