#pragma once

#include <QStringList>

namespace zelk::cli {

// `zelk text [options] [TEXT]`: what a finished dictation of TEXT (or standard
// input) would deliver with polish off.
int runText(const QStringList& args);

} // namespace zelk::cli
