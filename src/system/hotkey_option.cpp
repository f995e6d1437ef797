#include "system/hotkey_option.h"

#include "core/settings.h"
#include "platform/key_codes.h"

namespace zelk::HotkeyOption {

const QList<Option>& all() {
    static const QList<Option> options{
        {122, QStringLiteral("F1")},         {120, QStringLiteral("F2")},        {99, QStringLiteral("F3")},
        {118, QStringLiteral("F4")},         {96, QStringLiteral("F5")},         {97, QStringLiteral("F6")},
        {98, QStringLiteral("F7")},          {100, QStringLiteral("F8")},        {101, QStringLiteral("F9")},
        {109, QStringLiteral("F10")},        {103, QStringLiteral("F11")},       {111, QStringLiteral("F12")},
        {54, QStringLiteral("右 Super")},    {60, QStringLiteral("右 Shift")},   {61, QStringLiteral("右 Alt")},
        {62, QStringLiteral("右 Control")},
    };
    return options;
}

QString label(qint64 code) {
    for (const Option& o : all()) {
        if (o.keyCode == code)
            return o.label;
    }
    return QStringLiteral("键 ") + QString::number(code);
}

QString displayLabel(qint64 code) {
    QString l = label(code);
    if (!Settings::isChinese() && l.startsWith(QStringLiteral("右 ")))
        l.replace(0, 2, QStringLiteral("Right "));
    return l;
}

quint64 modifierFlag(qint64 code) { return keycode::modifierFlag(code); }

bool isModifier(qint64 code) { return modifierFlag(code) != 0; }

} // namespace zelk::HotkeyOption
