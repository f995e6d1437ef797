#pragma once

#include <QString>

#include <optional>

struct _XDisplay;

// Small Xlib helpers shared by the workspace, key and accessibility layers.
// Everything runs on the main thread.
namespace zelk::x11 {

using Display = _XDisplay;
using WindowId = unsigned long;

// A private connection to $DISPLAY, opened on first use; null without a display.
// X errors on our connections are recorded instead of ending the process.
Display* display();
// Opens another private connection (for the key grabs and the record
// context); null without a display. Close with closeDisplay().
Display* openDisplay();
void closeDisplay(Display* dpy);

// Counts X errors raised while it lives; failed() waits for the server's answers first.
class ErrorTrap {
public:
    explicit ErrorTrap(Display* dpy);
    bool failed();
    int lastErrorCode() const;

private:
    Display* m_dpy;
    unsigned long m_startCount;
};

std::optional<WindowId> activeWindow(Display* dpy);
std::optional<qint64> windowPid(Display* dpy, WindowId window);
// WM_CLASS: instance and class names (empty when unset).
QStringList windowClass(Display* dpy, WindowId window);
QString windowTitle(Display* dpy, WindowId window);
// Top-level client windows, bottom to top.
QList<WindowId> clientWindows(Display* dpy);
// The topmost client window of process `pid` (with `title` when given).
std::optional<WindowId> topWindowOf(Display* dpy, qint64 pid, const QString& title = {});
// Asks the window manager to activate `window`; false when it no longer exists.
bool activateWindow(Display* dpy, WindowId window);

// Whether the owner of the selection (e.g. "CLIPBOARD") answers a request for
// its targets within `timeoutMs`; true when nobody owns it.
// The window that owns `selection` now (0 when none or no display).
unsigned long selectionOwner(Display* dpy, const char* selection);
bool selectionOwnerAnswers(Display* dpy, const char* selection, int timeoutMs);

} // namespace zelk::x11
