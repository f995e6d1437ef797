#include "core/log.h"

namespace zelk::Log {

Q_LOGGING_CATEGORY(appCategory, "cn.zelk.mac.app", QtInfoMsg)
Q_LOGGING_CATEGORY(audioCategory, "cn.zelk.mac.audio", QtInfoMsg)
Q_LOGGING_CATEGORY(asrCategory, "cn.zelk.mac.asr", QtInfoMsg)
Q_LOGGING_CATEGORY(hotkeyCategory, "cn.zelk.mac.hotkey", QtInfoMsg)

const QLoggingCategory& app() { return appCategory(); }
const QLoggingCategory& audio() { return audioCategory(); }
const QLoggingCategory& asr() { return asrCategory(); }
const QLoggingCategory& hotkey() { return hotkeyCategory(); }

void installMessageFormat() {
    qSetMessagePattern(QStringLiteral("%{category} %{if-debug}debug%{endif}%{if-info}info%{endif}%{if-warning}warning%{endif}"
                                      "%{if-critical}error%{endif}%{if-fatal}fatal%{endif}: %{message}"));
}

} // namespace zelk::Log
