#pragma once

#include <QStringList>

namespace zelk::cli {
// `zelk record SECONDS FILE.wav`: records the chosen microphone as the recogniser hears it.
int runRecord(const QStringList& args);
} // namespace zelk::cli
