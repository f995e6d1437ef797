#pragma once

#include "platform/linux/atspi_accessibility.h"
#include "platform/linux/linux_workspace.h"
#include "platform/linux/qt_clipboard.h"
#include "platform/linux/xtest_keys.h"

namespace zelk {

// The desktop services of an X11 session, for the composition root to hand
// out (the hotkey source, X11HotkeySource, is owned by its monitor). Needs a
// QGuiApplication for the clipboard.
struct LinuxDesktop {
    AtspiAccessibility accessibility;
    LinuxWorkspace workspace;
    QtClipboard clipboard;
    XTestKeys keys;
};

} // namespace zelk
