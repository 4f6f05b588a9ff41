// One line to syslog under the identifier "kvmd".
#pragma once

// Formats the message (at most 255 characters; longer ones are cut) and logs
// it at `priority` with the process id, then closes syslog again.
void logInSysLog(int priority, const char* format, ...) __attribute__((format(printf, 2, 3)));
