#include "app/cli_check_model.h"

#include "app/cli.h"
#include "asr/model_check.h"

#include <cstdio>

namespace zelk::cli {

int runCheckModel(const QStringList& args) {
    if (args.size() != 2 || args.contains(QStringLiteral("--help"))) {
        std::fputs("Usage: zelk __check-model DIR KIND\n"
                   "Internal: builds the recogniser of DIR (KIND: streaming, transducer, fireRedAED,\n"
                   "fireRedCTC or qwen3) and decodes half a second of silence. Exit status 0 when it\n"
                   "works, 3 when a model file is missing, 4 when the engine refuses the model.\n",
                   args.contains(QStringLiteral("--help")) ? stdout : stderr);
        return args.contains(QStringLiteral("--help")) ? ok : usage;
    }
    return ModelCheck::runInThisProcess(args.at(0), args.at(1));
}

} // namespace zelk::cli
