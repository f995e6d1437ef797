#pragma once

#include "platform/synthetic_keys.h"

#include <functional>

namespace zelk::test {

// Counts keystrokes; `onPaste` / `onCopy` play the focused application's part.
class FakeSyntheticKeys final : public SyntheticKeys {
public:
    bool canPost = true;
    int pastes = 0;
    int copies = 0;
    std::function<void()> onPaste;
    std::function<void()> onCopy;

    bool postPaste() override {
        if (!canPost)
            return false;
        ++pastes;
        if (onPaste)
            onPaste();
        return true;
    }
    bool postCopy() override {
        if (!canPost)
            return false;
        ++copies;
        if (onCopy)
            onCopy();
        return true;
    }
};

} // namespace zelk::test
