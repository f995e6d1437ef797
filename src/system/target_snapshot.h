#pragma once

#include "core/cancellation.h"
#include "core/task.h"
#include "system/desktop_services.h"

#include <QString>

#include <optional>
#include <variant>

namespace zelk {

// The application and text element that had the keyboard focus when a session
// began: where its text goes, and the field the edit learner re-reads.
class TargetSnapshot {
public:
    struct Ok {
        bool operator==(const Ok&) const = default;
    };
    // The target is frontmost (or nothing is) but another element has the focus.
    struct FocusMoved {
        bool operator==(const FocusMoved&) const = default;
    };
    struct AppGone {
        bool operator==(const AppGone&) const = default;
    };
    // Another application is frontmost; `name` is its name.
    struct OtherApp {
        QString name;
        bool operator==(const OtherApp&) const = default;
    };
    using Validity = std::variant<Ok, FocusMoved, AppGone, OtherApp>;

    // Field texts longer than this (in characters) are not read.
    static constexpr qsizetype maxFieldCharacters = 20000;

    qint32 pid = 0;
    std::optional<QString> bundleID;
    QString appName;
    std::optional<AccessibleElement> focusedElement;
    std::optional<QString> windowTitle;
    std::optional<QString> selectedText;

    explicit TargetSnapshot(const DesktopServices& desktop) : m_desktop(&desktop) {}

    // Absent when no application is frontmost.
    static std::optional<TargetSnapshot> capture(const DesktopServices& desktop = DesktopServices::shared());

    // Whether the recorded element still has the focus inside the target's focused window.
    bool originalStillFocused() const;
    Validity validate() const;
    // Tries to give the focus back to the recorded element; answers whether the target is usable.
    Task<bool> restoreFocus(CancellationToken token = {}) const;
    // The current text of the recorded field for the edit learner; never a password field's.
    std::optional<QString> focusedFieldText() const;

    const DesktopServices& desktop() const { return *m_desktop; }

private:
    std::optional<QString> textViaRange(const AccessibleElement& element) const;

    const DesktopServices* m_desktop;
};

} // namespace zelk
