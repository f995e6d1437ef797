#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

namespace zelk::PolishGuard {

// Spoken fillers that carry no content, removed before the coverage check.
const QStringList& coverageFillers();

struct Facts {
    QSet<QString> nums;  // "3", "3.5", "1.2.3"
    QSet<QString> words; // lower-case ASCII words of two or more letters
    bool operator==(const Facts&) const = default;
};

// Whether a local model's output may replace the transcript it polished.
bool validate(const QString& input, const QString& output, const QStringList& fewshot, double ratioMax);

Facts facts(const QString& text);
// The longest run of the input's Han characters that the output lost.
int longestUncoveredRun(const QString& input, const QString& output);

} // namespace zelk::PolishGuard
