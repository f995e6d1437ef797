#pragma once

#include "platform/clipboard.h"

#include <QStringList>

namespace zelk::test {

// A clipboard of typed items whose every write bumps the change counter.
// `calls` logs the writes ("clear", "setText <text>", "writeItems <n>").
class FakeClipboard final : public Clipboard {
public:
    QList<Item> items;
    quint64 changes = 0;
    QStringList calls;
    // Types an item declares without giving data (per item index).
    QHash<int, QStringList> declaredWithoutData;

    quint64 changeCount() override { return changes; }
    QList<QStringList> itemTypes() override {
        QList<QStringList> out;
        for (int i = 0; i < items.size(); ++i) {
            QStringList types;
            for (const auto& [type, bytes] : items[i])
                types << type;
            out << types + declaredWithoutData.value(i);
        }
        return out;
    }
    std::optional<QByteArray> data(int index, const QString& type) override {
        if (index < 0 || index >= items.size())
            return std::nullopt;
        for (const auto& [t, bytes] : items[index]) {
            if (t == type)
                return bytes;
        }
        return std::nullopt;
    }
    std::optional<QString> text() override {
        for (const Item& item : items) {
            for (const auto& [t, bytes] : item) {
                if (t == QLatin1String("text/plain"))
                    return QString::fromUtf8(bytes);
            }
        }
        return std::nullopt;
    }
    void clear() override {
        calls << QStringLiteral("clear");
        items.clear();
        declaredWithoutData.clear();
        ++changes;
    }
    void setText(const QString& text) override {
        calls << QStringLiteral("setText ") + text;
        items = {Item{{QStringLiteral("text/plain"), text.toUtf8()}}};
        ++changes;
    }
    void writeItems(const QList<Item>& written) override {
        calls << QStringLiteral("writeItems %1").arg(written.size());
        items = written;
        ++changes;
    }
};

} // namespace zelk::test
