#include "platform/linux/x11_windows.h"

#include <QDeadlineTimer>
#include <QStringList>

#include <poll.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace zelk::x11 {

namespace {

unsigned long g_errorCount = 0;
int g_lastErrorCode = 0;

int recordError(Display*, XErrorEvent* e) {
    ++g_errorCount;
    g_lastErrorCode = e->error_code;
    return 0;
}

// Set again before each trapped call: the toolkit may install its own handler when it connects.
void installErrorHandler() { XSetErrorHandler(recordError); }

Atom atom(Display* dpy, const char* name) { return XInternAtom(dpy, name, False); }

// The items of a 32-bit property (windows, cardinals); empty when unset or on error.
QList<unsigned long> longProperty(Display* dpy, WindowId window, const char* name, Atom type) {
    ErrorTrap trap(dpy);
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    QList<unsigned long> out;
    const int status = XGetWindowProperty(dpy, window, atom(dpy, name), 0, 4096, False, type, &actualType, &format,
                                          &count, &after, &data);
    if (status == Success && data && format == 32 && actualType == type) {
        const auto* items = reinterpret_cast<const unsigned long*>(data);
        for (unsigned long i = 0; i < count; ++i)
            out.append(items[i]);
    }
    if (data)
        XFree(data);
    if (trap.failed())
        return {};
    return out;
}

} // namespace

Display* openDisplay() {
    installErrorHandler();
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return nullptr;
    return XOpenDisplay(nullptr);
}

void closeDisplay(Display* dpy) {
    if (dpy)
        XCloseDisplay(dpy);
}

Display* display() {
    static Display* const dpy = openDisplay();
    return dpy;
}

ErrorTrap::ErrorTrap(Display* dpy) : m_dpy(dpy), m_startCount(g_errorCount) { installErrorHandler(); }

bool ErrorTrap::failed() {
    XSync(m_dpy, False);
    return g_errorCount != m_startCount;
}

int ErrorTrap::lastErrorCode() const { return g_lastErrorCode; }

std::optional<WindowId> activeWindow(Display* dpy) {
    if (!dpy)
        return std::nullopt;
    const auto v = longProperty(dpy, DefaultRootWindow(dpy), "_NET_ACTIVE_WINDOW", XA_WINDOW);
    if (v.isEmpty() || v.first() == 0)
        return std::nullopt;
    return v.first();
}

std::optional<qint64> windowPid(Display* dpy, WindowId window) {
    const auto v = longProperty(dpy, window, "_NET_WM_PID", XA_CARDINAL);
    if (v.isEmpty() || v.first() == 0)
        return std::nullopt;
    return qint64(v.first());
}

QStringList windowClass(Display* dpy, WindowId window) {
    ErrorTrap trap(dpy);
    XClassHint hint{nullptr, nullptr};
    QStringList out;
    if (XGetClassHint(dpy, window, &hint)) {
        out << QString::fromLocal8Bit(hint.res_name ? hint.res_name : "")
            << QString::fromLocal8Bit(hint.res_class ? hint.res_class : "");
        if (hint.res_name)
            XFree(hint.res_name);
        if (hint.res_class)
            XFree(hint.res_class);
    }
    if (trap.failed())
        return {};
    return out;
}

QString windowTitle(Display* dpy, WindowId window) {
    ErrorTrap trap(dpy);
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    QString title;
    if (XGetWindowProperty(dpy, window, atom(dpy, "_NET_WM_NAME"), 0, 4096, False, atom(dpy, "UTF8_STRING"),
                           &actualType, &format, &count, &after, &data) == Success &&
        data && format == 8)
        title = QString::fromUtf8(reinterpret_cast<const char*>(data), int(count));
    if (data)
        XFree(data);
    if (trap.failed())
        return {};
    return title;
}

QList<WindowId> clientWindows(Display* dpy) {
    if (!dpy)
        return {};
    auto list = longProperty(dpy, DefaultRootWindow(dpy), "_NET_CLIENT_LIST_STACKING", XA_WINDOW);
    if (list.isEmpty())
        list = longProperty(dpy, DefaultRootWindow(dpy), "_NET_CLIENT_LIST", XA_WINDOW);
    return list;
}

std::optional<WindowId> topWindowOf(Display* dpy, qint64 pid, const QString& title) {
    const auto clients = clientWindows(dpy);
    std::optional<WindowId> any;
    for (auto it = clients.rbegin(); it != clients.rend(); ++it) {
        if (windowPid(dpy, *it) != pid)
            continue;
        if (title.isEmpty() || windowTitle(dpy, *it) == title)
            return *it;
        if (!any)
            any = *it;
    }
    return any;
}

bool activateWindow(Display* dpy, WindowId window) {
    if (!dpy)
        return false;
    ErrorTrap trap(dpy);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = atom(dpy, "_NET_ACTIVE_WINDOW");
    event.xclient.format = 32;
    event.xclient.data.l[0] = 2; // source: a pager, which window managers obey without focus-stealing checks
    event.xclient.data.l[1] = CurrentTime;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(dpy, window, &attributes))
        return false;
    XSendEvent(dpy, DefaultRootWindow(dpy), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    return !trap.failed();
}

unsigned long selectionOwner(Display* dpy, const char* selection) {
    return dpy ? XGetSelectionOwner(dpy, atom(dpy, selection)) : 0;
}

bool selectionOwnerAnswers(Display* dpy, const char* selection, int timeoutMs) {
    if (!dpy)
        return true;
    const Atom sel = atom(dpy, selection);
    if (XGetSelectionOwner(dpy, sel) == None)
        return true;
    static Window requestor = 0;
    if (!requestor)
        requestor = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0);
    const Atom property = atom(dpy, "ZELK_SELECTION_PROBE");
    XEvent event;
    // An answer to an earlier probe that came too late must not count for this one.
    while (XCheckTypedWindowEvent(dpy, requestor, SelectionNotify, &event)) {
    }
    XConvertSelection(dpy, sel, atom(dpy, "TARGETS"), property, requestor, CurrentTime);
    XFlush(dpy);
    QDeadlineTimer deadline(timeoutMs);
    while (true) {
        if (XCheckTypedWindowEvent(dpy, requestor, SelectionNotify, &event)) {
            XDeleteProperty(dpy, requestor, property);
            return true;
        }
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            return false;
        pollfd fd{ConnectionNumber(dpy), POLLIN, 0};
        poll(&fd, 1, int(std::min<qint64>(left, 20)));
    }
}

} // namespace zelk::x11
