#include "core/cancellation.h"

#include <map>
#include <mutex>
#include <vector>

namespace zelk {

struct CancellationToken::State {
    std::mutex mutex;
    bool cancelled = false;
    std::uint64_t nextId = 1;
    std::map<std::uint64_t, std::function<void()>> callbacks;
};

CancellationToken::Registration::Registration(std::shared_ptr<void> state, std::uint64_t id)
    : m_state(std::move(state)), m_id(id) {}

CancellationToken::Registration::Registration(Registration&& other) noexcept
    : m_state(std::move(other.m_state)), m_id(other.m_id) {
    other.m_id = 0;
}

CancellationToken::Registration& CancellationToken::Registration::operator=(Registration&& other) noexcept {
    if (this != &other) {
        reset();
        m_state = std::move(other.m_state);
        m_id = other.m_id;
        other.m_id = 0;
    }
    return *this;
}

CancellationToken::Registration::~Registration() { reset(); }

void CancellationToken::Registration::reset() {
    if (m_state && m_id) {
        auto* state = static_cast<CancellationToken::State*>(m_state.get());
        std::lock_guard lock(state->mutex);
        state->callbacks.erase(m_id);
    }
    m_state.reset();
    m_id = 0;
}

bool CancellationToken::isCancelled() const {
    if (!m_state)
        return false;
    std::lock_guard lock(m_state->mutex);
    return m_state->cancelled;
}

CancellationToken::Registration CancellationToken::onCancel(std::function<void()> callback) const {
    if (!m_state)
        return {};
    {
        std::lock_guard lock(m_state->mutex);
        if (!m_state->cancelled) {
            const auto id = m_state->nextId++;
            m_state->callbacks.emplace(id, std::move(callback));
            return Registration(m_state, id);
        }
    }
    callback();
    return {};
}

CancellationSource::CancellationSource() : m_state(std::make_shared<CancellationToken::State>()) {}

CancellationToken CancellationSource::token() const { return CancellationToken(m_state); }

bool CancellationSource::isCancelled() const { return token().isCancelled(); }

void CancellationSource::cancel() {
    std::map<std::uint64_t, std::function<void()>> callbacks;
    {
        std::lock_guard lock(m_state->mutex);
        if (m_state->cancelled)
            return;
        m_state->cancelled = true;
        callbacks.swap(m_state->callbacks);
    }
    for (auto& [id, callback] : callbacks)
        callback();
}

CancellationSource CancellationSource::linkedTo(const CancellationToken& parent) {
    CancellationSource child;
    std::weak_ptr<CancellationToken::State> weak = child.m_state;
    child.m_parentLink = std::make_shared<CancellationToken::Registration>(parent.onCancel([weak] {
        if (auto state = weak.lock())
            CancellationSource(state).cancel();
    }));
    return child;
}

} // namespace zelk
