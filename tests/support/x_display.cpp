#include "support/x_display.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

XDisplay::XDisplay(bool private_server) {
    const char* display = std::getenv("DISPLAY");
    if (!private_server && display != nullptr && display[0] != '\0') {
        name_ = display;
        return;
    }
    keeps_environment_ = private_server;
    // Xvfb picks a free display number itself and writes it to the pipe once
    // it accepts connections, so neither a clash nor a wait loop is needed.
    int ready[2];
    if (pipe(ready) != 0) throw std::runtime_error("pipe failed");
    server_ = fork();
    if (server_ < 0) throw std::runtime_error("fork failed");
    if (server_ == 0) {
        close(ready[0]);
        std::string fd = std::to_string(ready[1]);
        // -noreset: the server would otherwise reset, and refuse newcomers,
        // each time its last client leaves.
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
               "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    char number[16] = {};
    ssize_t got = 0;
    for (ssize_t n; got < ssize_t(sizeof number - 1) &&
                    (n = read(ready[0], number + got, sizeof number - 1 - got)) > 0;)
        if (number[(got += n) - 1] == '\n') break;
    close(ready[0]);
    if (got <= 0) throw std::runtime_error("Xvfb did not start (is the xvfb package installed?)");
    name_ = ":" + std::to_string(std::strtol(number, nullptr, 10));
    if (!keeps_environment_) setenv("DISPLAY", name_.c_str(), 1);
}

XDisplay::~XDisplay() {
    if (server_ <= 0) return;
    kill(server_, SIGTERM);
    waitpid(server_, nullptr, 0);
    if (!keeps_environment_) unsetenv("DISPLAY");
}
