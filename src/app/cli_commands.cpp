#include "app/cli.h"
#include "app/cli_check_model.h"

// Each command lives in its own cli_<name>.cpp; this table lists them.

namespace zelk::cli {

const QList<Command>& commands() {
    static const QList<Command> table{
        {QStringLiteral("__check-model"), QStringLiteral("__check-model DIR KIND"),
         QStringLiteral("internal: load a recognition model in a throwaway process"), runCheckModel},
    };
    return table;
}

} // namespace zelk::cli
