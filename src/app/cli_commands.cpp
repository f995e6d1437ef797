#include "app/cli.h"
#include "app/cli_account.h"
#include "app/cli_check_model.h"
#include "app/cli_models.h"
#include "app/cli_record.h"
#include "app/cli_text.h"
#include "app/cli_transcribe.h"

// Each command lives in its own cli_<name>.cpp; this table lists them.

namespace zelk::cli {

const QList<Command>& commands() {
    static const QList<Command> table{
        {QStringLiteral("transcribe"), QStringLiteral("transcribe [options] FILE"),
         QStringLiteral("transcribe a WAV file with the two-pass recogniser"), runTranscribe},
        {QStringLiteral("models"), QStringLiteral("models [download]"),
         QStringLiteral("show which recognition models are present; download the missing ones"), runModels},
        {QStringLiteral("record"), QStringLiteral("record SECONDS FILE.wav | --list"),
         QStringLiteral("record the chosen microphone as 16 kHz mono float, or list microphones"), runRecord},
        {QStringLiteral("__check-model"), QStringLiteral("__check-model DIR KIND"),
         QStringLiteral("internal: load a recognition model in a throwaway process"), runCheckModel},
        {QStringLiteral("text"), QStringLiteral("text [options] [TEXT]"),
         QStringLiteral("print what a dictation of TEXT would deliver (dictionary, typography, arithmetic)"), runText},
        {QStringLiteral("account"), QStringLiteral("account login|logout|status"),
         QStringLiteral("keep the cloud polish token in the secret store; show the account's polish status"), runAccount},
    };
    return table;
}

} // namespace zelk::cli
