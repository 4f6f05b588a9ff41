// An X display for the window's tests: the one DISPLAY names (make test
// starts an Xvfb for the whole run), or else a private Xvfb started here on
// a free display number and stopped when the object goes.
#pragma once

#include <sys/types.h>

#include <string>

class XDisplay {
public:
    XDisplay();
    ~XDisplay();
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;
    const std::string& name() const { return name_; }  // ":12"

private:
    std::string name_;
    pid_t server_ = -1;
};
