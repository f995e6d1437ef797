#pragma once

#include <QString>

#include <optional>

namespace zelk::RewriteIntent {

// The wire language a spoken rewrite instruction asks to translate into, or
// nothing when the instruction is not a translation request.
std::optional<QString> translateTarget(const QString& instruction);

} // namespace zelk::RewriteIntent
