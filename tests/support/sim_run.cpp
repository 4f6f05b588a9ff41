#include "support/sim_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

#include "support/sandbox.h"

SimResult run_sim(const std::vector<std::string>& args,
                  const std::vector<std::string>& environment, int timeout_seconds) {
    TempDir capture;
    std::string out_path = capture.path() + "/out";
    std::string err_path = capture.path() + "/err";

    std::vector<char*> argv;
    std::string program = SV_SIM_PATH;
    argv.push_back(program.data());
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
        alarm(unsigned(timeout_seconds));  // a hung run fails the test instead of the suite
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    SimResult result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = read_whole_file(out_path);
    result.err = read_whole_file(err_path);
    return result;
}
