#pragma once

#include "core/cancellation.h"
#include "core/task.h"
#include "system/desktop_services.h"

#include <QList>
#include <QString>

#include <optional>

// Reads the focused application's selection the way a user would: copy it,
// take the text from the clipboard, and put the user's clipboard back.
namespace zelk::SelectionReader {

// Every clipboard item with the data of each type it declares (types without data left out).
using Snapshot = QList<Clipboard::Item>;

inline constexpr auto pollInterval = std::chrono::milliseconds(30);
inline constexpr int maxPolls = 12;

Snapshot snapshot(Clipboard& clipboard);
// Replaces the clipboard's contents with `saved` (an empty snapshot leaves it empty).
void restore(const Snapshot& saved, Clipboard& clipboard);

// The selected text, trimmed; absent when nothing was copied within about
// 360 ms, the copy held no text, or the keystroke could not be posted.
Task<std::optional<QString>> readViaCopy(const DesktopServices& desktop, CancellationToken token = {});
Task<std::optional<QString>> readViaCopy(CancellationToken token = {});

} // namespace zelk::SelectionReader
