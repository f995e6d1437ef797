#include "platform/linux/xtest_keys.h"

#include "platform/linux/x11_windows.h"

#include <QSet>
#include <QStringList>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace zelk {

namespace {

bool isModifierKeysym(KeySym sym) {
    return (sym >= XK_Shift_L && sym <= XK_Hyper_R) || sym == XK_ISO_Level3_Shift || sym == XK_ISO_Level5_Shift ||
           sym == XK_Mode_switch;
}

bool hasXTest(Display* dpy) {
    int event = 0, error = 0, major = 0, minor = 0;
    return XTestQueryExtension(dpy, &event, &error, &major, &minor);
}

bool focusedWindowIsTerminal(Display* dpy) {
    const auto window = x11::activeWindow(dpy);
    if (!window)
        return false;
    const QStringList cls = x11::windowClass(dpy, *window);
    return isTerminalWindowClass(cls.value(0), cls.value(1));
}

// Ctrl(+Shift)+key. Modifiers the user still holds (a modifier hotkey, say) are
// released first, or the application would see Ctrl+Alt+V.
bool postChord(KeySym key) {
    Display* dpy = x11::display();
    if (!dpy || !hasXTest(dpy))
        return false;
    const bool shift = focusedWindowIsTerminal(dpy);
    const KeyCode control = XKeysymToKeycode(dpy, XK_Control_L);
    const KeyCode shiftKey = XKeysymToKeycode(dpy, XK_Shift_L);
    const KeyCode keyCode = XKeysymToKeycode(dpy, key);
    if (control == 0 || keyCode == 0 || (shift && shiftKey == 0))
        return false;

    x11::ErrorTrap trap(dpy);
    char held[32] = {};
    XQueryKeymap(dpy, held);
    for (int kc = 8; kc < 256; ++kc) {
        if ((held[kc / 8] & (1 << (kc % 8))) && isModifierKeysym(XkbKeycodeToKeysym(dpy, KeyCode(kc), 0, 0)))
            XTestFakeKeyEvent(dpy, unsigned(kc), False, CurrentTime);
    }
    XTestFakeKeyEvent(dpy, control, True, CurrentTime);
    if (shift)
        XTestFakeKeyEvent(dpy, shiftKey, True, CurrentTime);
    XTestFakeKeyEvent(dpy, keyCode, True, CurrentTime);
    XTestFakeKeyEvent(dpy, keyCode, False, CurrentTime);
    if (shift)
        XTestFakeKeyEvent(dpy, shiftKey, False, CurrentTime);
    XTestFakeKeyEvent(dpy, control, False, CurrentTime);
    return !trap.failed();
}

} // namespace

bool isTerminalWindowClass(const QString& instance, const QString& windowClass) {
    static const QSet<QString> terminals{
        QStringLiteral("xterm"),          QStringLiteral("uxterm"),         QStringLiteral("gnome-terminal"),
        QStringLiteral("gnome-terminal-server"), QStringLiteral("konsole"), QStringLiteral("xfce4-terminal"),
        QStringLiteral("terminator"),     QStringLiteral("tilix"),          QStringLiteral("alacritty"),
        QStringLiteral("kitty"),          QStringLiteral("urxvt"),          QStringLiteral("rxvt"),
        QStringLiteral("st-256color"),    QStringLiteral("st"),             QStringLiteral("org.wezfurlong.wezterm"),
        QStringLiteral("foot"),           QStringLiteral("qterminal"),      QStringLiteral("lxterminal"),
        QStringLiteral("mate-terminal"),  QStringLiteral("terminology"),    QStringLiteral("sakura"),
        QStringLiteral("guake"),          QStringLiteral("yakuake"),        QStringLiteral("eterm"),
        QStringLiteral("org.gnome.console"), QStringLiteral("kgx"),         QStringLiteral("ptyxis"),
        QStringLiteral("blackbox"),       QStringLiteral("cool-retro-term"), QStringLiteral("tabby"),
        QStringLiteral("hyper"),          QStringLiteral("wezterm"),
    };
    return terminals.contains(instance.toLower()) || terminals.contains(windowClass.toLower());
}

bool XTestKeys::postPaste() { return postChord(XK_v); }

bool XTestKeys::postCopy() { return postChord(XK_c); }

} // namespace zelk
