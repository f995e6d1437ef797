#pragma once

#include <functional>

class QObject;

namespace zelk {

// Runs functions on the thread that created the poster, through that thread's
// Qt event loop. Used to resume coroutines on the thread they suspended on.
class ThreadPoster {
public:
    // A poster for the calling thread (which must run a Qt event loop).
    static ThreadPoster current();

    // Safe from any thread; never blocks.
    void post(std::function<void()> fn) const;
    bool isCurrentThread() const;

private:
    QObject* m_context = nullptr;
};

} // namespace zelk
