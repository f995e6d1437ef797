#pragma once

#include <mutex>

namespace zelk {

// Decides who gives the one answer to a start request: the opening or its
// time-out, whichever claims first.
class OnceFlag {
public:
    // True for the first caller only.
    bool claim();
    bool isClaimed() const;

private:
    mutable std::mutex m_mutex;
    bool m_done = false;
};

} // namespace zelk
