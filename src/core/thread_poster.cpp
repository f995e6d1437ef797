#include "core/thread_poster.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

namespace zelk {

ThreadPoster ThreadPoster::current() {
    // One context object per thread, living as long as the thread.
    thread_local QObject context;
    ThreadPoster poster;
    poster.m_context = &context;
    return poster;
}

void ThreadPoster::post(std::function<void()> fn) const {
    QMetaObject::invokeMethod(m_context, std::move(fn), Qt::QueuedConnection);
}

bool ThreadPoster::isCurrentThread() const { return m_context->thread() == QThread::currentThread(); }

} // namespace zelk
