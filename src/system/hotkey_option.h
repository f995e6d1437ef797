#pragma once

#include <QList>
#include <QString>

// The keys the user may choose for dictation and rewrite, with their labels.
namespace zelk::HotkeyOption {

struct Option {
    qint64 keyCode = 0;
    QString label;
    bool operator==(const Option&) const = default;
};

// F1–F12, then right Super, Shift, Alt and Control, in menu order.
const QList<Option>& all();
// The table's label, or "键 <code>" for a code outside it.
QString label(qint64 code);
// The label in the interface language: "右 …" reads "Right …" outside Chinese.
QString displayLabel(qint64 code);
quint64 modifierFlag(qint64 code);
bool isModifier(qint64 code);

} // namespace zelk::HotkeyOption
