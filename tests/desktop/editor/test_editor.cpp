// A small Qt editor for desktop tests: three fields (first, second, a
// password) in one window. It prints every key press that reaches its focused
// field as "key <hex Qt key>" on stdout, so tests can tell whether a global
// hotkey was taken away from it. With --grab <code> it holds that global key
// itself, standing in for another program that took the hotkey first. With
// --own-clipboard-silently it shows no window, takes the clipboard and never
// answers a request for it.
#include "platform/linux/x11_hotkey_source.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>

namespace {

class KeyLogger : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && watched == QApplication::focusWidget()) {
            std::printf("key %x\n", static_cast<QKeyEvent*>(event)->key());
            std::fflush(stdout);
        }
        return false;
    }
};

} // namespace

// After the Qt code: Xlib's macros (KeyPress, None, …) would clash with it.
#include <X11/Xlib.h>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();

    if (args.contains(QStringLiteral("--own-clipboard-silently"))) {
        // A connection of its own whose events are never read.
        Display* dpy = XOpenDisplay(nullptr);
        if (!dpy)
            return 1;
        const Window w = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0);
        XSetSelectionOwner(dpy, XInternAtom(dpy, "CLIPBOARD", False), w, CurrentTime);
        XSync(dpy, False);
        std::printf("owning\n");
        std::fflush(stdout);
        return app.exec();
    }

    std::unique_ptr<zelk::X11HotkeySource> grabber;
    if (const qsizetype i = args.indexOf(QStringLiteral("--grab")); i >= 0) {
        grabber = std::make_unique<zelk::X11HotkeySource>();
        const bool ok = grabber->install([](const auto&) { return zelk::GlobalKeySource::Disposition::swallow; },
                                         {args.value(i + 1).toInt()});
        std::printf(ok ? "grabbed\n" : "grab failed\n");
        std::fflush(stdout);
    }

    QWidget window;
    window.setWindowTitle(QStringLiteral("Zelk Test Editor"));
    auto* layout = new QVBoxLayout(&window);
    auto* first = new QLineEdit;
    first->setAccessibleName(QStringLiteral("first"));
    auto* second = new QLineEdit;
    second->setAccessibleName(QStringLiteral("second"));
    auto* password = new QLineEdit(QStringLiteral("hunter2"));
    password->setAccessibleName(QStringLiteral("password"));
    password->setEchoMode(QLineEdit::Password);
    layout->addWidget(first);
    layout->addWidget(second);
    layout->addWidget(password);
    window.resize(480, 200);
    window.show();

    QWidget* focus = first;
    if (const qsizetype i = args.indexOf(QStringLiteral("--focus")); i >= 0) {
        const QString which = args.value(i + 1);
        focus = which == QLatin1String("second") ? second : which == QLatin1String("password") ? password : first;
    }
    focus->setFocus();

    KeyLogger logger;
    app.installEventFilter(&logger);
    return app.exec();
}
