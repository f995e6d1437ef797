// links: zelk_language
#include "language/chinese_number.h"

#include <QString>

#include <cstdint>

// Any text, including unpaired surrogates and thousands of digits or units,
// answers a number or nothing.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(data), qsizetype(size / 2));
    (void)zelk::ChineseNumber::parse(text);
    (void)zelk::ChineseNumber::parse(QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)));
    return 0;
}
