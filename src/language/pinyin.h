#pragma once

#include <QString>
#include <QStringView>

// Mandarin readings of text: ICU's Han-Latin transliteration, lower-cased, with
// spaces removed. The toneless form also strips diacritics (ü becomes u).
// Safe from any thread; readings are cached per character, so after warm-up a
// transcript costs lookups, not ICU calls.
namespace zelk::Pinyin {

QString toned(QStringView text);
QString toneless(QStringView text);

// Builds the shared transliterator now (it takes a moment), for example on a
// background thread at start-up, so that the first transcript does not wait.
void prepare();

// The reading of one code point ("" for spaces).
const QString& tonedOf(char32_t c);
const QString& tonelessOf(char32_t c);

} // namespace zelk::Pinyin
