#pragma once

#include <QString>

#include <memory>
#include <optional>

namespace zelk {

// A reference to an element of another application's accessibility tree. Two
// references are equal when they name the same element (same bus name and
// object path); `handle` keeps the platform's own object alive.
struct AccessibleElement {
    QString busName;
    QString path;
    std::shared_ptr<void> handle;

    bool operator==(const AccessibleElement& o) const { return busName == o.busName && path == o.path; }
};

// Reads of the desktop's accessibility interface. Every read that fails, or
// that finds a value of another kind, answers absent; nothing throws. When no
// accessibility bus is reachable every read answers absent.
class Accessibility {
public:
    struct TextRange {
        qint64 location = 0;
        qint64 length = 0;
    };

    virtual ~Accessibility() = default;

    virtual bool isAvailable() = 0;
    // Whether applications expose their trees to us. With `prompt`, asks the
    // desktop to turn accessibility on when it is off (the answer still
    // reflects the state before the request).
    virtual bool isTrusted(bool prompt) = 0;
    // The element with the keyboard focus, desktop-wide.
    virtual std::optional<AccessibleElement> focusedElement() = 0;
    // The top-level window that holds `element`.
    virtual std::optional<AccessibleElement> window(const AccessibleElement& element) = 0;
    // The focused (active) window of the application with process id `pid`.
    virtual std::optional<AccessibleElement> focusedWindow(qint64 pid) = 0;
    virtual std::optional<QString> title(const AccessibleElement& window) = 0;
    virtual std::optional<bool> isFocused(const AccessibleElement& element) = 0;
    // A password field: its contents are never read.
    virtual bool isSecureTextField(const AccessibleElement& element) = 0;
    virtual std::optional<QString> selectedText(const AccessibleElement& element) = 0;
    // The whole text of a text element.
    virtual std::optional<QString> value(const AccessibleElement& element) = 0;
    virtual std::optional<qint64> characterCount(const AccessibleElement& element) = 0;
    virtual std::optional<TextRange> selectedTextRange(const AccessibleElement& element) = 0;
    virtual std::optional<QString> stringForRange(const AccessibleElement& element, TextRange range) = 0;
    // Brings `window` to the front and makes it the active window (result ignored by callers).
    virtual void raiseWindow(const AccessibleElement& window) = 0;
    // Gives `element` the keyboard focus; false when the application refused.
    virtual bool setFocused(const AccessibleElement& element) = 0;
};

} // namespace zelk
