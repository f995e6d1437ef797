#pragma once

#include "core/clock.h"
#include "platform/accessibility.h"
#include "platform/clipboard.h"
#include "platform/synthetic_keys.h"
#include "platform/workspace.h"

namespace zelk {

// The desktop operations that targeting, delivery and selection reading use,
// with the clock for their waits. The application installs the real ones at
// start-up; tests pass recording fakes and a virtual clock.
struct DesktopServices {
    Accessibility& accessibility;
    Workspace& workspace;
    Clipboard& clipboard;
    SyntheticKeys& keys;
    Clock& clock;

    // The installed services; installing is the application's first act, so
    // using them before is a programming error.
    static const DesktopServices& shared();
    static void setShared(const DesktopServices* services);
};

} // namespace zelk
