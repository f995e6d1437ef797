#pragma once

#include <QString>

// Final typography of a finished transcript: full-width letters and digits made
// half-width, half-width punctuation made full-width next to Chinese, spaces
// between Chinese and Latin text, none around Chinese punctuation.
// Pure; any thread.
namespace zelk::ChineseTypography {

QString format(const QString& text);

// Half-width punctuation and its full-width form next to Chinese.
QChar fullWidthOf(QChar halfWidth); // QChar() when not in the table
bool isFullwidthPunct(char32_t c);

} // namespace zelk::ChineseTypography
