// Watches the X display for top-level windows being mapped, so that "the window is on
// screen" is timed the same way for every program.
#pragma once

#include <string>
#include <vector>

class XMapWatch {
public:
    // Connects to $DISPLAY and asks for the root window's substructure events; when that
    // fails, `fd()` is -1 and `error()` says why.
    XMapWatch();
    ~XMapWatch();
    XMapWatch(XMapWatch const&) = delete;
    XMapWatch& operator=(XMapWatch const&) = delete;

    int fd() const { return fd_; }
    std::string const& error() const { return error_; }

    // Reads what arrived; returns one text per window mapped ("<id> <w>x<h>").
    std::vector<std::string> take_maps();

private:
    struct Connection;
    Connection* connection_ = nullptr;
    int fd_ = -1;
    std::string error_;
};
