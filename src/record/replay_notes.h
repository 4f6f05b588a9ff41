// What a recording cannot make the replay do exactly as the machine did: a
// register that read back something else than was written to it, a BMC that
// left some requests unanswered. The board file still loads and replays; the
// launcher prints these lines so that whoever reads the replay knows where it
// may part from the original run.
#pragma once

#include <set>
#include <string>
#include <vector>

class ReplayNotes {
public:
    // Each text once, in the order first given.
    void add(const std::string& text) {
        if (seen_.insert(text).second) lines_.push_back(text);
    }
    const std::vector<std::string>& lines() const { return lines_; }

private:
    std::set<std::string> seen_;
    std::vector<std::string> lines_;
};
