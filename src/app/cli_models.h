#pragma once

#include <QStringList>

namespace zelk::cli {
// `zelk models [download]`: which recognition models are present, and installs the missing ones.
int runModels(const QStringList& args);
} // namespace zelk::cli
