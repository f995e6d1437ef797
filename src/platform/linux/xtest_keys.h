#pragma once

#include "platform/synthetic_keys.h"

#include <QString>

namespace zelk {

// Paste and copy keystrokes through XTest, sent to the focused window.
class XTestKeys final : public SyntheticKeys {
public:
    bool postPaste() override;
    bool postCopy() override;
};

// Terminals take Ctrl+Shift+V / Ctrl+Shift+C (Ctrl+C would interrupt the program in them).
bool isTerminalWindowClass(const QString& instance, const QString& windowClass);

} // namespace zelk
