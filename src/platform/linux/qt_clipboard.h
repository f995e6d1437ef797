#pragma once

#include "platform/clipboard.h"

#include <QObject>

namespace zelk {

// The X11 CLIPBOARD selection through QClipboard. X11 holds a single item
// with several formats; the change counter follows every owner change.
// Needs a QGuiApplication. We serve the clipboard while we own it, so the
// main thread must keep turning after a write.
class QtClipboard final : public QObject, public Clipboard {
    Q_OBJECT
public:
    explicit QtClipboard(QObject* parent = nullptr);

    quint64 changeCount() override { return m_changes; }
    QList<QStringList> itemTypes() override;
    std::optional<QByteArray> data(int index, const QString& type) override;
    std::optional<QString> text() override;
    void clear() override;
    void setText(const QString& text) override;
    // Items after the first are merged into it (first type wins): X11 has one item.
    void writeItems(const QList<Item>& items) override;

private:
    // Reading another program's clipboard through Qt waits up to 5 s for an
    // owner that does not answer, with the main thread blocked; ask it first.
    bool ownerAnswers();

    quint64 m_changes = 0;
    std::optional<quint64> m_probedAt;
    unsigned long m_probedOwner = 0;
    bool m_ownerAnswered = true;
};

} // namespace zelk
