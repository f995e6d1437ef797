#pragma once

#include <QList>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

// Repairs product names and mixed Chinese–Latin terms that the recogniser
// wrote the way people say them (扣扣音乐 → QQ音乐, Git Hub → GitHub), against a
// list of target spellings, and finds which well-known terms a text mentions.
// Pure; any thread.
namespace zelk::TermSound {

// One element of a term's sound outline.
struct Slot {
    enum class Kind { han, letter, word };
    Kind kind;
    QString text; // the ideograph, the capital letter, or the Latin word
    bool operator==(const Slot&) const = default;
};

QString applyLetterReadings(const QString& text, const QStringList& targets, const QSet<QString>& protectedTexts);
QString applySpacing(const QString& text, const QStringList& targets, const QSet<QString>& protectedTexts);
QString applyAliases(const QString& text, const QSet<QString>& protectedTexts);
QString correctBuiltin(const QString& text, const QSet<QString>& protectedTexts);
QStringList mentionedTerms(const QString& text, qsizetype limit);

std::optional<QList<Slot>> soundSlots(const QString& term);
// Matches slots[slotIndex…] against the characters from `start`; answers the
// end index, or nothing. `readingUsed` tells whether a letter was already
// heard as Chinese syllables.
std::optional<qsizetype> matchSlots(const QStringList& chars, qsizetype start, const QList<Slot>& slots, qsizetype slotIndex,
                                    bool readingUsed);

std::optional<QRegularExpression> spacingRegex(const QString& term);
// Whether the spacing pattern of `term` ignores case; nothing when the term has none.
std::optional<bool> spacingCaseInsensitive(const QString& term);
bool isDistinctive(const QString& term);
QStringList byLengthDescending(const QStringList& terms);

} // namespace zelk::TermSound
