#include "app/cli.h"
#include "app/cli_check_model.h"
#include "app/cli_text.h"

// Each command lives in its own cli_<name>.cpp; this table lists them.

namespace zelk::cli {

const QList<Command>& commands() {
    static const QList<Command> table{
        {QStringLiteral("__check-model"), QStringLiteral("__check-model DIR KIND"),
         QStringLiteral("internal: load a recognition model in a throwaway process"), runCheckModel},
        {QStringLiteral("text"), QStringLiteral("text [options] [TEXT]"),
         QStringLiteral("print what a dictation of TEXT would deliver (dictionary, typography, arithmetic)"), runText},
    };
    return table;
}

} // namespace zelk::cli
