#include "app/cli.h"

// Each command lives in its own cli_<name>.cpp; this table lists them.

namespace zelk::cli {

const QList<Command>& commands() {
    static const QList<Command> table{
    };
    return table;
}

} // namespace zelk::cli
