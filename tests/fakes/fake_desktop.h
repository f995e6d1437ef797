#pragma once

#include "fakes/fake_accessibility.h"
#include "fakes/fake_clipboard.h"
#include "fakes/fake_synthetic_keys.h"
#include "fakes/fake_workspace.h"
#include "system/desktop_services.h"

namespace zelk::test {

// Every desktop service as a fake, on a virtual clock.
struct FakeDesktop {
    FakeAccessibility accessibility;
    FakeWorkspace workspace;
    FakeClipboard clipboard;
    FakeSyntheticKeys keys;
    VirtualClock clock;
    DesktopServices services{accessibility, workspace, clipboard, keys, clock};
};

} // namespace zelk::test
