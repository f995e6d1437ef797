#pragma once

#include "platform/accessibility.h"

namespace zelk {

// Accessibility through libatspi. The focused element is found in the active
// window of the application that owns the active X11 window. libatspi ends
// the process when it cannot reach the accessibility bus, so the bus is
// checked over D-Bus before libatspi is first used; until it answers, every
// read is absent.
class AtspiAccessibility final : public Accessibility {
public:
    bool isAvailable() override;
    // The bus is reachable and org.a11y.Status.IsEnabled is on (the prompt turns it on).
    bool isTrusted(bool prompt) override;
    std::optional<AccessibleElement> focusedElement() override;
    std::optional<AccessibleElement> window(const AccessibleElement& element) override;
    std::optional<AccessibleElement> focusedWindow(qint64 pid) override;
    std::optional<QString> title(const AccessibleElement& window) override;
    std::optional<bool> isFocused(const AccessibleElement& element) override;
    bool isSecureTextField(const AccessibleElement& element) override;
    std::optional<QString> selectedText(const AccessibleElement& element) override;
    std::optional<QString> value(const AccessibleElement& element) override;
    std::optional<qint64> characterCount(const AccessibleElement& element) override;
    std::optional<TextRange> selectedTextRange(const AccessibleElement& element) override;
    std::optional<QString> stringForRange(const AccessibleElement& element, TextRange range) override;
    void raiseWindow(const AccessibleElement& window) override;
    bool setFocused(const AccessibleElement& element) override;

private:
    bool m_ready = false;
};

} // namespace zelk
