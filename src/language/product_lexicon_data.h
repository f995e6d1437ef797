#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// Built-in data of the sound-alike matcher: how Latin letters sound in Chinese
// characters, a lexicon of well-known product and brand names, and the
// mis-hearings that are rewritten to them.
namespace zelk::ProductLexiconData {

// One way of saying a letter: a sequence of syllable classes, each a set of
// characters any of which stands for that syllable.
using Reading = QStringList;

// Readings of capital letters A–Z, in table order (empty for anything else).
const QList<Reading>& letterReadings(QChar capital);

// The lexicon, in its tie-breaking order.
const QStringList& terms();

struct Alias {
    QString heard;
    QString written;
};
// Always applied.
const QList<Alias>& aliases();
// Applied only when the user's dictionary knows the target.
const QList<Alias>& aliasesIfKnown();
// Context words that block every alias of a target.
const QHash<QString, QStringList>& aliasUnless();

} // namespace zelk::ProductLexiconData
