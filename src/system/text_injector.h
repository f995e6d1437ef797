#pragma once

#include "core/cancellation.h"
#include "core/task.h"
#include "system/target_snapshot.h"

#include <QString>

#include <optional>
#include <variant>

// Delivers finished text to the target: through the clipboard and a synthetic
// paste keystroke when the target can be reached, else left on the clipboard
// with a short reason for the user.
namespace zelk::TextInjector {

inline constexpr qsizetype maxCharacters = 20000;

// The text is on the clipboard and the paste keystroke went to `appName`.
struct Pasted {
    QString appName;
    bool operator==(const Pasted&) const = default;
};
// Not pasted; except for empty text it is on the clipboard. `reason` is shown to the user.
struct Copied {
    QString reason;
    bool operator==(const Copied&) const = default;
};
using Outcome = std::variant<Pasted, Copied>;

// "pasted" or "copied", as history records it.
QString outcomeWord(const Outcome& outcome);

// Strips control, format and direction characters (keeping CR, LF and tab)
// and keeps the first 20 000 characters.
QString sanitize(const QString& text);

Task<Outcome> deliver(const DesktopServices& desktop, QString text, std::optional<TargetSnapshot> target,
                      CancellationToken token = {});
// The same through the installed services.
Task<Outcome> deliver(QString text, std::optional<TargetSnapshot> target, CancellationToken token = {});

} // namespace zelk::TextInjector
