#include "asr/recognizer_text.h"

#include "language/text_cleanup.h"

namespace zelk {

QString recognizerText(const char* raw) {
    if (!raw)
        return {};
    return TextCleanup::tidyASR(QString::fromUtf8(raw));
}

} // namespace zelk
