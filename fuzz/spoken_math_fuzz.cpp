// links: zelk_language
#include "language/spoken_math.h"

#include <QString>

#include <cstdint>

// Any transcript routes without crashing or hanging, however deeply it nests
// parentheses, roots or negations.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    (void)zelk::SpokenMath::route(text);
    (void)zelk::SpokenMath::evaluate(text);
    return 0;
}
