#include "system/selection_reader.h"

#include "core/text.h"

namespace zelk::SelectionReader {

Snapshot snapshot(Clipboard& clipboard) {
    Snapshot saved;
    const auto items = clipboard.itemTypes();
    for (int i = 0; i < items.size(); ++i) {
        Clipboard::Item entry;
        for (const QString& type : items[i]) {
            if (auto bytes = clipboard.data(i, type))
                entry.append({type, std::move(*bytes)});
        }
        saved.append(std::move(entry));
    }
    return saved;
}

void restore(const Snapshot& saved, Clipboard& clipboard) {
    clipboard.clear();
    if (!saved.isEmpty())
        clipboard.writeItems(saved);
}

Task<std::optional<QString>> readViaCopy(const DesktopServices& desktop, CancellationToken token) {
    Clipboard& clipboard = desktop.clipboard;
    const Snapshot saved = snapshot(clipboard);
    const quint64 before = clipboard.changeCount();
    if (!desktop.keys.postCopy())
        co_return std::nullopt;

    bool changed = false;
    for (int polls = 0; polls < maxPolls && !changed; ++polls) {
        // A cancelled wait counts as a completed one: the clipboard must still be put back.
        co_await desktop.clock.sleep(pollInterval, token);
        changed = clipboard.changeCount() != before;
    }
    std::optional<QString> copied;
    if (changed)
        copied = clipboard.text();
    restore(saved, clipboard);

    if (!copied)
        co_return std::nullopt;
    QString trimmed = text::trimmedWhitespaceAndNewlines(*copied);
    if (trimmed.isEmpty())
        co_return std::nullopt;
    co_return trimmed;
}

Task<std::optional<QString>> readViaCopy(CancellationToken token) {
    co_return co_await readViaCopy(DesktopServices::shared(), token);
}

} // namespace zelk::SelectionReader
