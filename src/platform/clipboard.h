#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

namespace zelk {

// The desktop's general clipboard: a change counter, items holding data under
// type names (MIME types), and a plain-text read and write.
class Clipboard {
public:
    using Item = QList<QPair<QString, QByteArray>>; // type → data, in order

    virtual ~Clipboard() = default;
    // Grows by at least one whenever the clipboard's contents change, by us or by another program.
    virtual quint64 changeCount() = 0;
    // The types each item declares, one list per item, in the clipboard's order.
    virtual QList<QStringList> itemTypes() = 0;
    // The data of item `index` for `type`; absent when the owner gives none.
    virtual std::optional<QByteArray> data(int index, const QString& type) = 0;
    virtual std::optional<QString> text() = 0;
    virtual void clear() = 0;
    virtual void setText(const QString& text) = 0;
    // Replaces the contents with `items` in one step.
    virtual void writeItems(const QList<Item>& items) = 0;
};

} // namespace zelk
