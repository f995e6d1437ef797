#pragma once

#include <QStringList>

namespace zelk::cli {
// `zelk account login|logout|status`: the cloud service's access token in the secret store.
int runAccount(const QStringList& args);
} // namespace zelk::cli
