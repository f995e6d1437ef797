#pragma once

#include <QString>

// Tidies every raw recogniser result: stray spaces around Chinese text.
// Pure; any thread.
namespace zelk::TextCleanup {

QString tidyASR(const QString& text);

} // namespace zelk::TextCleanup
