#include "common/syslog_line.h"

#include <syslog.h>

#include <cstdarg>
#include <cstdio>

#include "sys/sys.h"

void logInSysLog(int priority, const char* format, ...) {
    char message[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);

    // The line is logged as "%s\n"; Sys::syslog takes it ready-made.
    char line[sizeof message + 1];
    std::snprintf(line, sizeof line, "%s\n", message);

    // Facility 0 keeps syslog's default (LOG_USER).
    sys().openlog("kvmd", LOG_PID, 0);
    sys().syslog(priority, line);
    sys().closelog();
}
