#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace zelk {

// Cooperative cancellation: a source cancels, any number of tokens observe.
// Callbacks registered on a token run once, on the cancelling thread; a callback
// registered after cancellation runs at once.
class CancellationToken {
public:
    class Registration {
    public:
        Registration() = default;
        Registration(Registration&& other) noexcept;
        Registration& operator=(Registration&& other) noexcept;
        Registration(const Registration&) = delete;
        Registration& operator=(const Registration&) = delete;
        ~Registration();
        void reset();

    private:
        friend class CancellationToken;
        struct State;
        Registration(std::shared_ptr<void> state, std::uint64_t id);
        std::shared_ptr<void> m_state;
        std::uint64_t m_id = 0;
    };

    // A token that is never cancelled.
    CancellationToken() = default;

    bool isCancelled() const;
    explicit operator bool() const { return isCancelled(); }

    // The callback must be safe to run on any thread.
    [[nodiscard]] Registration onCancel(std::function<void()> callback) const;

    struct State;

private:
    friend class CancellationSource;
    explicit CancellationToken(std::shared_ptr<State> state) : m_state(std::move(state)) {}
    std::shared_ptr<State> m_state;
};

class CancellationSource {
public:
    CancellationSource();
    CancellationToken token() const;
    void cancel();
    bool isCancelled() const;

    // A source that is also cancelled when `parent` is.
    static CancellationSource linkedTo(const CancellationToken& parent);

private:
    explicit CancellationSource(std::shared_ptr<CancellationToken::State> state) : m_state(std::move(state)) {}
    std::shared_ptr<CancellationToken::State> m_state;
    std::shared_ptr<CancellationToken::Registration> m_parentLink;
};

} // namespace zelk
