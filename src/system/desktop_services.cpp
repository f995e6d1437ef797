#include "system/desktop_services.h"

#include <QtGlobal>

namespace zelk {

namespace {
const DesktopServices* g_shared = nullptr;
}

const DesktopServices& DesktopServices::shared() {
    if (!g_shared)
        qFatal("DesktopServices::shared() used before the application installed it");
    return *g_shared;
}

void DesktopServices::setShared(const DesktopServices* services) { g_shared = services; }

} // namespace zelk
