#include "app/entry.h"

#include "app/cli.h"
#include "core/log.h"
#include "core/settings.h"
#include "platform/linux/linux_system_info.h"

#include <cstdio>

namespace zelk {

int runZelk(int argc, char** argv) {
    static const LinuxSystemInfo systemInfo;
    Settings::setPreferredLanguagesProvider([] { return systemInfo.preferredLanguages(); });
    const int code = cli::dispatch(argc, argv);
    if (code >= 0)
        return code;
    // The tray application is assembled here once its parts exist.
    std::fputs("zelk: the desktop application is not available in this build; see `zelk --help`.\n", stderr);
    return cli::failure;
}

} // namespace zelk
