// links: zelk_language
#include "language/personal_dictionary.h"
#include "language/term_sound.h"

#include <QString>
#include <QStringList>

#include <cstdint>

// The correction pipeline with any terms against any transcript: the first line
// of the input holds the terms (separated by "|"), the rest is the transcript.
// An input starting with an odd byte is read as UTF-16, so unpaired surrogates
// reach the passes too.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const bool utf16 = size > 0 && (data[0] & 1);
    const QString input = utf16 ? QString::fromUtf16(reinterpret_cast<const char16_t*>(data + 1), qsizetype((size - 1) / 2))
                                : QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype newline = input.indexOf(QLatin1Char('\n'));
    const QStringList terms = newline < 0 ? QStringList() : input.left(newline).split(QLatin1Char('|'));
    const QString text = newline < 0 ? input : input.mid(newline + 1);
    (void)zelk::PersonalDictionary::corrections(text, terms, true);
    (void)zelk::PersonalDictionary::normalize(terms);
    (void)zelk::TermSound::mentionedTerms(text, 30);
    return 0;
}
