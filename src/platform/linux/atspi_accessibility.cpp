#include "platform/linux/atspi_accessibility.h"

#include "platform/linux/x11_windows.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

#include <atspi/atspi.h>

namespace zelk {

namespace {

// Owned GObject references and GLib allocations.
struct GObjectDeleter {
    void operator()(gpointer p) const {
        if (p)
            g_object_unref(p);
    }
};
template <typename T>
using GRef = std::unique_ptr<T, GObjectDeleter>;

struct GFreeDeleter {
    void operator()(gpointer p) const { g_free(p); }
};
using GString_ = std::unique_ptr<gchar, GFreeDeleter>;

// Reads answer absent on error; the error itself is not interesting to callers.
struct ErrorSink {
    GError* error = nullptr;
    ~ErrorSink() {
        if (error)
            g_error_free(error);
    }
    GError** operator&() { return &error; }
    bool failed() const { return error != nullptr; }
};

AtspiAccessible* raw(const AccessibleElement& e) { return static_cast<AtspiAccessible*>(e.handle.get()); }

AccessibleElement wrap(AtspiAccessible* acc) {
    // Takes over one reference.
    AtspiObject* obj = ATSPI_OBJECT(acc);
    AccessibleElement e;
    e.busName = QString::fromUtf8(obj->app ? obj->app->bus_name : "");
    e.path = QString::fromUtf8(obj->path ? obj->path : "");
    e.handle = std::shared_ptr<void>(acc, [](void* p) { g_object_unref(p); });
    return e;
}

GRef<AtspiStateSet> states(AtspiAccessible* acc) { return GRef<AtspiStateSet>(atspi_accessible_get_state_set(acc)); }

bool hasState(AtspiStateSet* set, AtspiStateType state) { return set && atspi_state_set_contains(set, state); }

AtspiRole role(AtspiAccessible* acc) {
    ErrorSink err;
    const AtspiRole r = atspi_accessible_get_role(acc, &err);
    return err.failed() ? ATSPI_ROLE_INVALID : r;
}

GRef<AtspiAccessible> child(AtspiAccessible* acc, int index) {
    ErrorSink err;
    GRef<AtspiAccessible> c(atspi_accessible_get_child_at_index(acc, index, &err));
    if (err.failed())
        return {};
    return c;
}

int childCount(AtspiAccessible* acc) {
    ErrorSink err;
    const int n = atspi_accessible_get_child_count(acc, &err);
    return err.failed() ? 0 : n;
}

// The registered application with process id `pid`. Never this process: our
// own tree is served by the thread that would be waiting for the answer.
GRef<AtspiAccessible> applicationOf(qint64 pid) {
    if (pid == QCoreApplication::applicationPid())
        return {};
    GRef<AtspiAccessible> desktop(atspi_get_desktop(0));
    if (!desktop)
        return {};
    const int n = childCount(desktop.get());
    for (int i = 0; i < n; ++i) {
        GRef<AtspiAccessible> app = child(desktop.get(), i);
        if (!app)
            continue;
        ErrorSink err;
        const guint appPid = atspi_accessible_get_process_id(app.get(), &err);
        // libatspi keeps states cached and fresh from the toolkit's events; turning
        // the cache off makes its event handler call the bus from inside a
        // dispatch, which deadlocks.
        if (!err.failed() && qint64(appPid) == pid)
            return app;
    }
    return {};
}

GRef<AtspiAccessible> activeWindowOf(AtspiAccessible* app) {
    const int n = childCount(app);
    for (int i = 0; i < n; ++i) {
        GRef<AtspiAccessible> w = child(app, i);
        if (w && hasState(states(w.get()).get(), ATSPI_STATE_ACTIVE))
            return w;
    }
    return {};
}

// Depth-first search for the focused element below `root`, visiting only
// what is showing and never the descendants of large containers (tables,
// lists) that manage their children.
GRef<AtspiAccessible> findFocused(AtspiAccessible* root, int& budget, int depth = 0) {
    if (--budget < 0 || depth > 64)
        return {};
    auto set = states(root);
    if (hasState(set.get(), ATSPI_STATE_FOCUSED))
        return GRef<AtspiAccessible>(ATSPI_ACCESSIBLE(g_object_ref(root)));
    if (depth > 0 && (!hasState(set.get(), ATSPI_STATE_SHOWING) || hasState(set.get(), ATSPI_STATE_MANAGES_DESCENDANTS)))
        return {};
    const int n = childCount(root);
    for (int i = 0; i < n; ++i) {
        if (GRef<AtspiAccessible> c = child(root, i)) {
            if (auto found = findFocused(c.get(), budget, depth + 1))
                return found;
        }
    }
    return {};
}

GRef<AtspiText> textOf(const AccessibleElement& e) {
    if (!raw(e))
        return {};
    return GRef<AtspiText>(atspi_accessible_get_text_iface(raw(e)));
}

std::optional<QString> textBetween(AtspiText* text, qint64 start, qint64 end) {
    ErrorSink err;
    GString_ s(atspi_text_get_text(text, gint(start), gint(end), &err));
    if (err.failed() || !s)
        return std::nullopt;
    return QString::fromUtf8(s.get());
}

std::optional<qint64> characterCountOf(AtspiText* text) {
    ErrorSink err;
    const gint count = atspi_text_get_character_count(text, &err);
    if (err.failed() || count < 0)
        return std::nullopt;
    return count;
}

// The first selected range; absent when nothing is selected.
std::optional<Accessibility::TextRange> firstSelection(AtspiText* text) {
    ErrorSink err;
    if (atspi_text_get_n_selections(text, &err) <= 0 || err.failed())
        return std::nullopt;
    ErrorSink rangeErr;
    AtspiRange* range = atspi_text_get_selection(text, 0, &rangeErr);
    if (rangeErr.failed() || !range) {
        g_free(range);
        return std::nullopt;
    }
    const Accessibility::TextRange r{range->start_offset, range->end_offset - range->start_offset};
    g_free(range);
    return r;
}

std::optional<qint64> pidOf(AtspiAccessible* acc) {
    ErrorSink err;
    const guint pid = atspi_accessible_get_process_id(acc, &err);
    if (err.failed() || pid == 0)
        return std::nullopt;
    return qint64(pid);
}

// The accessibility bus answers its address on the session bus.
bool busReachable() {
    if (!qEnvironmentVariableIsEmpty("AT_SPI_BUS_ADDRESS"))
        return true;
    QDBusConnection session = QDBusConnection::sessionBus();
    if (!session.isConnected())
        return false;
    const QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                                             QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
    const QDBusMessage reply = session.call(call, QDBus::Block, 1000);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().value(0).toString().isEmpty();
}

} // namespace

bool AtspiAccessibility::isAvailable() {
    if (!m_ready && busReachable()) {
        atspi_init();
        // A busy or hung application must not hold the main thread for long
        // (the default allows 15 s for applications that started recently).
        atspi_set_timeout(1000, 3000);
        m_ready = true;
    }
    return m_ready;
}

bool AtspiAccessibility::isTrusted(bool prompt) {
    if (!isAvailable())
        return false;
    QDBusConnection session = QDBusConnection::sessionBus();
    const QString service = QStringLiteral("org.a11y.Bus"), path = QStringLiteral("/org/a11y/bus");
    const QString properties = QStringLiteral("org.freedesktop.DBus.Properties");
    QDBusMessage get = QDBusMessage::createMethodCall(service, path, properties, QStringLiteral("Get"));
    get << QStringLiteral("org.a11y.Status") << QStringLiteral("IsEnabled");
    const QDBusMessage reply = session.call(get, QDBus::Block, 1000);
    const bool enabled = reply.type() == QDBusMessage::ReplyMessage &&
                         reply.arguments().value(0).value<QDBusVariant>().variant().toBool();
    if (!enabled && prompt) {
        QDBusMessage set = QDBusMessage::createMethodCall(service, path, properties, QStringLiteral("Set"));
        set << QStringLiteral("org.a11y.Status") << QStringLiteral("IsEnabled")
            << QVariant::fromValue(QDBusVariant(true));
        session.call(set, QDBus::Block, 1000);
    }
    return enabled;
}

std::optional<AccessibleElement> AtspiAccessibility::focusedElement() {
    if (!isAvailable())
        return std::nullopt;
    x11::Display* dpy = x11::display();
    const auto active = x11::activeWindow(dpy);
    const auto pid = active ? x11::windowPid(dpy, *active) : std::nullopt;
    if (!pid)
        return std::nullopt;
    GRef<AtspiAccessible> app = applicationOf(*pid);
    if (!app)
        return std::nullopt;
    int budget = 4000;
    if (GRef<AtspiAccessible> w = activeWindowOf(app.get())) {
        if (auto found = findFocused(w.get(), budget))
            return wrap(found.release());
    }
    return std::nullopt;
}

std::optional<AccessibleElement> AtspiAccessibility::window(const AccessibleElement& element) {
    if (!isAvailable() || !raw(element))
        return std::nullopt;
    // The top-level window is the ancestor just below the application.
    GRef<AtspiAccessible> current(ATSPI_ACCESSIBLE(g_object_ref(raw(element))));
    for (int depth = 0; depth < 256; ++depth) {
        ErrorSink err;
        GRef<AtspiAccessible> parent(atspi_accessible_get_parent(current.get(), &err));
        if (err.failed() || !parent)
            return std::nullopt;
        if (role(parent.get()) == ATSPI_ROLE_APPLICATION)
            return role(current.get()) == ATSPI_ROLE_APPLICATION ? std::nullopt
                                                                 : std::optional(wrap(current.release()));
        current = std::move(parent);
    }
    return std::nullopt;
}

std::optional<AccessibleElement> AtspiAccessibility::focusedWindow(qint64 pid) {
    if (!isAvailable())
        return std::nullopt;
    GRef<AtspiAccessible> app = applicationOf(pid);
    if (!app)
        return std::nullopt;
    if (GRef<AtspiAccessible> w = activeWindowOf(app.get()))
        return wrap(w.release());
    return std::nullopt;
}

std::optional<QString> AtspiAccessibility::title(const AccessibleElement& window) {
    if (!isAvailable() || !raw(window))
        return std::nullopt;
    ErrorSink err;
    GString_ name(atspi_accessible_get_name(raw(window), &err));
    if (err.failed() || !name)
        return std::nullopt;
    return QString::fromUtf8(name.get());
}

std::optional<bool> AtspiAccessibility::isFocused(const AccessibleElement& element) {
    if (!isAvailable() || !raw(element))
        return std::nullopt;
    auto set = states(raw(element));
    if (!set || hasState(set.get(), ATSPI_STATE_DEFUNCT))
        return std::nullopt;
    return hasState(set.get(), ATSPI_STATE_FOCUSED);
}

bool AtspiAccessibility::isSecureTextField(const AccessibleElement& element) {
    if (!isAvailable() || !raw(element))
        return false;
    return role(raw(element)) == ATSPI_ROLE_PASSWORD_TEXT;
}

std::optional<QString> AtspiAccessibility::selectedText(const AccessibleElement& element) {
    if (!isAvailable() || isSecureTextField(element))
        return std::nullopt;
    GRef<AtspiText> text = textOf(element);
    const auto range = text ? firstSelection(text.get()) : std::nullopt;
    if (!range || range->length <= 0)
        return std::nullopt;
    return textBetween(text.get(), range->location, range->location + range->length);
}

std::optional<QString> AtspiAccessibility::value(const AccessibleElement& element) {
    if (!isAvailable() || isSecureTextField(element))
        return std::nullopt;
    GRef<AtspiText> text = textOf(element);
    const auto count = text ? characterCountOf(text.get()) : std::nullopt;
    if (!count)
        return std::nullopt;
    return textBetween(text.get(), 0, *count);
}

std::optional<qint64> AtspiAccessibility::characterCount(const AccessibleElement& element) {
    if (!isAvailable())
        return std::nullopt;
    GRef<AtspiText> text = textOf(element);
    return text ? characterCountOf(text.get()) : std::nullopt;
}

std::optional<Accessibility::TextRange> AtspiAccessibility::selectedTextRange(const AccessibleElement& element) {
    if (!isAvailable())
        return std::nullopt;
    GRef<AtspiText> text = textOf(element);
    if (!text)
        return std::nullopt;
    if (const auto range = firstSelection(text.get()))
        return range;
    ErrorSink caretErr;
    const gint caret = atspi_text_get_caret_offset(text.get(), &caretErr);
    if (caretErr.failed() || caret < 0)
        return std::nullopt;
    return TextRange{caret, 0};
}

std::optional<QString> AtspiAccessibility::stringForRange(const AccessibleElement& element, TextRange range) {
    if (!isAvailable() || isSecureTextField(element))
        return std::nullopt;
    GRef<AtspiText> text = textOf(element);
    if (!text)
        return std::nullopt;
    return textBetween(text.get(), range.location, range.location + range.length);
}

void AtspiAccessibility::raiseWindow(const AccessibleElement& window) {
    if (!isAvailable() || !raw(window))
        return;
    const auto pid = pidOf(raw(window));
    if (!pid)
        return;
    x11::Display* dpy = x11::display();
    if (const auto xwindow = x11::topWindowOf(dpy, *pid, title(window).value_or(QString())))
        x11::activateWindow(dpy, *xwindow);
}

bool AtspiAccessibility::setFocused(const AccessibleElement& element) {
    if (!isAvailable() || !raw(element))
        return false;
    GRef<AtspiComponent> component(atspi_accessible_get_component_iface(raw(element)));
    if (!component)
        return false;
    ErrorSink err;
    const gboolean ok = atspi_component_grab_focus(component.get(), &err);
    return ok && !err.failed();
}

} // namespace zelk
