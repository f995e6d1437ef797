#pragma once

namespace zelk {

// Synthetic keystrokes delivered to whatever has the keyboard focus.
class SyntheticKeys {
public:
    virtual ~SyntheticKeys() = default;
    // The paste keystroke of the focused window (Ctrl+V; Ctrl+Shift+V in a
    // terminal); false when it could not be posted.
    virtual bool postPaste() = 0;
    // The copy keystroke, chosen the same way (Ctrl+C / Ctrl+Shift+C).
    virtual bool postCopy() = 0;
};

} // namespace zelk
