// links: zelk_language
#include "language/chinese_typography.h"
#include "language/hotword_guard.h"
#include "language/text_cleanup.h"

#include <QString>
#include <QStringList>

#include <cstdint>

// The clean-up functions take any text, including unpaired surrogates and
// control characters, and answer a text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(data), qsizetype(size / 2));
    (void)zelk::ChineseTypography::format(text);
    (void)zelk::TextCleanup::tidyASR(text);
    const qsizetype half = text.size() / 2;
    (void)zelk::HotwordGuard::strip(text.left(half), text.mid(half), text.mid(half).split(QLatin1Char(' ')));
    return 0;
}
