#pragma once

#include <QStringList>

namespace zelk::cli {

// `zelk __check-model DIR KIND`: loads a model in this (throwaway) process so a
// model that makes the library exit or abort cannot take the app down.
int runCheckModel(const QStringList& args);

} // namespace zelk::cli
