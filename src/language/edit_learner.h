#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

// Decides whether the user's change to inserted text is a correction worth
// learning (a mis-heard Latin name, a mixed term heard as Chinese characters, a
// homophone, a built-in term) or an ordinary edit. Pure; any thread.
namespace zelk::EditLearner {

struct Suggestion {
    QString wrong; // as inserted
    QString right; // as corrected
    QString entry; // what the dictionary learns: the right form, or "wrong=right"
    bool trial = false;
    bool operator==(const Suggestion&) const = default;
};

// The changed stretch, as character sequences.
struct Segment {
    QStringList head;
    QStringList oldPart;
    QStringList newPart;
    QStringList tail;
    bool operator==(const Segment&) const = default;
};

// Built-in lexicon terms of two or more ideographs, longest first.
const QStringList& hanTerms();

std::optional<Segment> changedSegment(const QString& inserted, const QString& before, const QString& after);
std::optional<Suggestion> hanLexiconFix(const Segment& segment);
// The stretch widened to whole words: (old text, new text).
std::pair<QString, QString> grow(const Segment& segment);
std::optional<Suggestion> classify(const QString& oldText, const QString& newText);
QString folded(const QString& text);
qsizetype editDistance(const QString& a, const QString& b);

} // namespace zelk::EditLearner
