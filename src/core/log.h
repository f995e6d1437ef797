#pragma once

#include <QLoggingCategory>

// Four channels, named cn.zelk.mac.<channel>. Levels: qCInfo for ordinary lines,
// qCDebug for progress lines, qCCritical for failures.
namespace zelk::Log {
const QLoggingCategory& app();
const QLoggingCategory& audio();
const QLoggingCategory& asr();
const QLoggingCategory& hotkey();

// Journal-friendly output on stderr: "<category> <level>: <message>".
void installMessageFormat();
} // namespace zelk::Log
