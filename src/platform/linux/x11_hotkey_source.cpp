#include "platform/linux/x11_hotkey_source.h"

#include "core/log.h"
#include "platform/key_codes.h"
#include "platform/linux/x11_key_codes.h"
#include "platform/linux/x11_windows.h"

#include <QSocketNotifier>
#include <QTimer>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/record.h>
#include <X11/keysym.h>

namespace zelk {

struct X11HotkeySource::Record {
    Display* data = nullptr;
    QSocketNotifier* notifier = nullptr;
    ~Record() {
        delete notifier;
        x11::closeDisplay(data);
    }
};

namespace {

unsigned numLockMask(Display* dpy) {
    const KeyCode numLock = XKeysymToKeycode(dpy, XK_Num_Lock);
    XModifierKeymap* map = XGetModifierMapping(dpy);
    unsigned mask = 0;
    if (map && numLock != 0) {
        for (int mod = 0; mod < 8; ++mod) {
            for (int k = 0; k < map->max_keypermod; ++k) {
                if (map->modifiermap[mod * map->max_keypermod + k] == numLock)
                    mask = 1u << mod;
            }
        }
    }
    if (map)
        XFreeModifiermap(map);
    return mask;
}

void recordCallback(XPointer closure, XRecordInterceptData* data) {
    if (data->category == XRecordFromServer && data->data_len > 0) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(data->data);
        const int type = bytes[0] & 0x7f;
        if (type == KeyPress || type == KeyRelease) {
            auto* handle = reinterpret_cast<std::function<void(bool, unsigned)>*>(closure);
            (*handle)(type == KeyPress, bytes[1]);
        }
    }
    XRecordFreeData(data);
}

} // namespace

X11HotkeySource::X11HotkeySource(QObject* parent) : QObject(parent) {}

X11HotkeySource::~X11HotkeySource() {
    if (!m_dpy)
        return;
    for (const int code : m_grabbed.keys())
        ungrab(code);
    if (m_recordContext) {
        XRecordDisableContext(m_dpy, m_recordContext);
        XRecordFreeContext(m_dpy, m_recordContext);
    }
    XSync(m_dpy, False);
    m_record.reset();
    delete m_notifier;
    x11::closeDisplay(m_dpy);
}

bool X11HotkeySource::install(Handler handler, const QSet<int>& grabbed) {
    if (m_dpy)
        return setGrabbedKeys(grabbed);
    m_dpy = x11::openDisplay();
    if (!m_dpy)
        return false;
    Bool supported = False;
    XkbSetDetectableAutoRepeat(m_dpy, True, &supported);
    m_numLockMask = numLockMask(m_dpy);
    for (const int code : grabbed) {
        if (!grab(code)) {
            for (const int done : m_grabbed.keys())
                ungrab(done);
            x11::closeDisplay(m_dpy);
            m_dpy = nullptr;
            return false;
        }
    }
    m_handler = std::move(handler);
    m_notifier = new QSocketNotifier(ConnectionNumber(m_dpy), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11HotkeySource::drainEvents);
    startRecording();
    scheduleDrain();
    return true;
}

bool X11HotkeySource::setGrabbedKeys(const QSet<int>& grabbed) {
    if (!m_dpy)
        return false;
    for (const int code : m_grabbed.keys()) {
        if (!grabbed.contains(code))
            ungrab(code);
    }
    bool ok = true;
    for (const int code : grabbed) {
        if (!m_grabbed.contains(code))
            ok = grab(code) && ok;
    }
    scheduleDrain();
    return ok;
}

bool X11HotkeySource::grab(int code) {
    const auto keysym = x11::keysymForKeyCode(code);
    const KeyCode keycode = keysym ? XKeysymToKeycode(m_dpy, *keysym) : 0;
    if (keycode == 0) {
        qCInfo(Log::hotkey).noquote() << QStringLiteral("键盘布局里没有这个键（keyCode %1）").arg(code);
        return false;
    }
    const Window root = DefaultRootWindow(m_dpy);
    const unsigned locks[] = {0, LockMask, m_numLockMask, LockMask | m_numLockMask};
    {
        x11::ErrorTrap trap(m_dpy);
        for (const unsigned mods : locks)
            XGrabKey(m_dpy, keycode, mods, root, False, GrabModeAsync, GrabModeAsync);
        if (trap.failed()) {
            // Another client holds the plain key: take nothing.
            XUngrabKey(m_dpy, keycode, AnyModifier, root);
            XSync(m_dpy, False);
            return false;
        }
    }
    // Held modifiers do not matter (Ctrl+F2 is F2 too), but those combinations
    // are taken only where no other program holds them (a window manager's Super+F2).
    const unsigned modifiers[] = {ShiftMask, ControlMask, Mod1Mask, Mod4Mask};
    for (unsigned subset = 1; subset < 16; ++subset) {
        unsigned held = 0;
        for (int bit = 0; bit < 4; ++bit) {
            if (subset & (1u << bit))
                held |= modifiers[bit];
        }
        for (const unsigned lock : locks) {
            x11::ErrorTrap trap(m_dpy);
            XGrabKey(m_dpy, keycode, held | lock, root, False, GrabModeAsync, GrabModeAsync);
            trap.failed();
        }
    }
    m_grabbed.insert(code, keycode);
    return true;
}

void X11HotkeySource::ungrab(int code) {
    const unsigned keycode = m_grabbed.take(code);
    if (keycode == 0)
        return;
    // Releases only our own grabs of the key, whatever their modifiers.
    x11::ErrorTrap trap(m_dpy);
    XUngrabKey(m_dpy, keycode, AnyModifier, DefaultRootWindow(m_dpy));
    trap.failed();
    m_down.remove(keycode);
}

void X11HotkeySource::startRecording() {
    int major = 0, minor = 0;
    if (!XRecordQueryVersion(m_dpy, &major, &minor)) {
        qCInfo(Log::hotkey) << "X 服务器不支持 RECORD 扩展：修饰键热键不可用";
        return;
    }
    auto record = std::make_unique<Record>();
    record->data = x11::openDisplay();
    XRecordRange* range = XRecordAllocRange();
    if (!record->data || !range) {
        if (range)
            XFree(range);
        return;
    }
    range->device_events.first = KeyPress;
    range->device_events.last = KeyRelease;
    XRecordClientSpec clients = XRecordAllClients;
    m_recordContext = XRecordCreateContext(m_dpy, 0, &clients, 1, &range, 1);
    XFree(range);
    XSync(m_dpy, False);
    static_assert(sizeof(XPointer) == sizeof(void*));
    // The callback reaches us through a closure owned by the record connection's lifetime.
    auto* closure = new std::function<void(bool, unsigned)>([this](bool pressed, unsigned kc) { modifierEvent(pressed, kc); });
    if (!m_recordContext || !XRecordEnableContextAsync(record->data, m_recordContext, recordCallback,
                                                       reinterpret_cast<XPointer>(closure))) {
        delete closure;
        if (m_recordContext)
            XRecordFreeContext(m_dpy, m_recordContext);
        m_recordContext = 0;
        qCInfo(Log::hotkey) << "无法启用 RECORD 上下文：修饰键热键不可用";
        return;
    }
    Display* data = record->data;
    record->notifier = new QSocketNotifier(ConnectionNumber(data), QSocketNotifier::Read);
    connect(record->notifier, &QSocketNotifier::activated, this, [data] { XRecordProcessReplies(data); });
    connect(record->notifier, &QObject::destroyed, [closure] { delete closure; });
    m_record = std::move(record);
    XRecordProcessReplies(data);
}

void X11HotkeySource::modifierEvent(bool pressed, unsigned keycode) {
    const KeySym sym = XkbKeycodeToKeysym(m_dpy, KeyCode(keycode), 0, 0);
    const auto code = x11::keyCodeForKeysym(sym);
    if (!code || keycode::modifierFlag(*code) == 0)
        return;
    // A press of a key already held is the server's auto-repeat, which modifier changes never produce.
    if (pressed == m_heldModifiers.value(*code))
        return;
    m_heldModifiers.insert(*code, pressed);
    quint64 flags = 0;
    for (auto it = m_heldModifiers.cbegin(); it != m_heldModifiers.cend(); ++it) {
        if (it.value())
            flags |= keycode::modifierFlag(it.key());
    }
    if (m_handler)
        m_handler(Event{Event::Type::flagsChanged, *code, false, flags});
}

void X11HotkeySource::regrabAll() {
    const auto codes = m_grabbed.keys();
    for (const int code : codes)
        ungrab(code);
    for (const int code : codes)
        grab(code);
}

void X11HotkeySource::scheduleDrain() { QTimer::singleShot(0, this, &X11HotkeySource::drainEvents); }

void X11HotkeySource::drainEvents() {
    while (m_dpy && XPending(m_dpy) > 0) {
        XEvent event;
        XNextEvent(m_dpy, &event);
        if (event.type == MappingNotify && event.xmapping.request != MappingPointer) {
            // The keyboard map changed: the keys may sit on other key codes now.
            XRefreshKeyboardMapping(&event.xmapping);
            regrabAll();
            continue;
        }
        if (event.type == KeyRelease) {
            m_down.remove(event.xkey.keycode);
            continue;
        }
        if (event.type != KeyPress)
            continue;
        const unsigned keycode = event.xkey.keycode;
        const int code = m_grabbed.key(keycode, -1);
        if (code < 0)
            continue; // another key pressed while a grabbed one was held
        const bool repeat = m_down.contains(keycode);
        m_down.insert(keycode);
        if (m_handler)
            m_handler(Event{Event::Type::keyDown, code, repeat, 0});
    }
}

} // namespace zelk
