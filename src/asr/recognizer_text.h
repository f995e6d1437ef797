#pragma once

#include <QString>

namespace zelk {

// A raw recogniser result as text for the rest of the app: UTF-8 decoded and
// tidied; null gives empty text.
QString recognizerText(const char* raw);

} // namespace zelk
