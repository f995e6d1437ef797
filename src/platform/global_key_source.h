#pragma once

#include <QSet>

#include <functional>

namespace zelk {

// Desktop-wide keyboard events. Key codes are the virtual key codes used in
// settings (F2 = 120, Escape = 53, right Alt = 61, …), not the window system's.
class GlobalKeySource {
public:
    struct Event {
        enum class Type { keyDown, flagsChanged };
        Type type = Type::keyDown;
        int keyCode = 0;
        bool isAutoRepeat = false;
        // Modifier flags held after the event (0x100000 Super, 0x20000 Shift, 0x80000 Alt, 0x40000 Control).
        quint64 flags = 0;
    };
    enum class Disposition { pass, swallow };
    using Handler = std::function<Disposition(const Event&)>;

    virtual ~GlobalKeySource() = default;

    // Starts delivering key-downs of the `grabbed` keys (which then reach no
    // other program) and modifier changes (which always reach the focused
    // program) to `handler` on the main thread. False when it cannot, for
    // instance because another program already holds one of the keys; the
    // source then stays uninstalled.
    virtual bool install(Handler handler, const QSet<int>& grabbed) = 0;
    virtual bool isInstalled() const = 0;
    // Changes the grabbed keys of an installed source; false when one of them
    // is held by another program (the others are still grabbed).
    virtual bool setGrabbedKeys(const QSet<int>& grabbed) = 0;
};

} // namespace zelk
