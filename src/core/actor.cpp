#include "core/actor.h"

#include <pthread.h>

namespace zelk {

Actor::Actor(QString name) : m_name(std::move(name)) {
    m_thread = std::thread([this] { loop(); });
    pthread_setname_np(m_thread.native_handle(), m_name.left(15).toUtf8().constData());
}

Actor::~Actor() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void Actor::enqueue(std::function<void()> job) {
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
}

void Actor::loop() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_jobs.empty())
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job();
    }
}

} // namespace zelk
