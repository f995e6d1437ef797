#pragma once

#include <QStringList>

namespace zelk::cli {

// `zelk transcribe [--models DIR] [--json] [--chunk-ms N] FILE`: runs a WAV
// file through the two-pass transcriber the way a dictation does and prints the
// cleaned-up transcript.
int runTranscribe(const QStringList& args);

} // namespace zelk::cli
