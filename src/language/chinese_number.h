#pragma once

#include <QString>

#include <optional>

// Reads a number the way a recogniser writes spoken numbers: Chinese numerals
// with units (三千二百五十), Arabic digits, mixtures (3万5, 1.5亿), decimals with
// 点 or ".", and a leading 负 or "-". Pure; any thread.
namespace zelk::ChineseNumber {

std::optional<double> parse(const QString& text);

// The value of a digit character (零…九, 两, 0–9), or nothing.
std::optional<int> digitValue(QChar c);

} // namespace zelk::ChineseNumber
