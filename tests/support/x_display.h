// An X display for the window's tests: the one DISPLAY names (make test
// starts an Xvfb for the whole run), or else a private Xvfb started here on
// a free display number and stopped when the object goes. A test that sends
// input events asks for a private server always, so that no other test's
// window can come between its events and the program.
#pragma once

#include <sys/types.h>

#include <string>

class XDisplay {
public:
    // `private_server`: start one even when DISPLAY is set (DISPLAY is left
    // as it is then).
    explicit XDisplay(bool private_server = false);
    ~XDisplay();
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;
    const std::string& name() const { return name_; }  // ":12"

private:
    std::string name_;
    pid_t server_ = -1;
    bool keeps_environment_ = false;
};
