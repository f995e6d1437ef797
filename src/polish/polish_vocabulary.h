#pragma once

// Labels and behaviour of the polish vocabulary whose raw values live in
// core/vocabulary.h (settings store them).

#include "core/vocabulary.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

namespace zelk {

// The interface-language label of a mode.
QString label(PolishMode mode);
// The status-menu tooltip of a mode (Chinese only); empty for raw and ask.
QString menuTooltip(PolishMode mode);

namespace PolishModeLabels {
// A mode text read back from history: "calc", a mode raw value, or anything else.
QString storedLabel(const QString& stored);
} // namespace PolishModeLabels

QString label(ToneLevel tone);
// The key the cloud request and the local helper use for a tone level.
QString toneKey(ToneLevel tone);
// The tone level of the `toneLevel` setting, `natural` when missing or invalid.
ToneLevel currentToneLevel();

namespace ToneExamples {
// Tone key → the four example outputs the local model is shown.
const QHash<QString, QStringList>& fewshotOutputsByTone();
// The example outputs for a level; a non-blank custom tone keeps only the two
// register-free examples of the natural list.
QStringList localFewshotOutputs(ToneLevel tone, const std::optional<QString>& customTone);
} // namespace ToneExamples

enum class PolishRoute { local, official };

enum class CloudFailure { network, quota, unavailable };

} // namespace zelk
