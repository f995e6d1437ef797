#pragma once

#include "platform/global_key_source.h"

#include <QHash>
#include <QObject>

#include <memory>

class QSocketNotifier;
struct _XDisplay;

namespace zelk {

// Global keys on X11. Ordinary keys are taken with passive grabs on the root
// window (with every Caps Lock / Num Lock state, and with Shift, Ctrl, Alt and
// Super where no other client holds those), so the focused window never sees
// them; a plain key that another client holds makes install fail. Modifier
// presses are observed through the RECORD extension, which never takes them
// from the application. Detectable auto-repeat makes a held key arrive as
// presses without releases, so a repeat is a press of a key already down.
class X11HotkeySource final : public QObject, public GlobalKeySource {
    Q_OBJECT
public:
    explicit X11HotkeySource(QObject* parent = nullptr);
    ~X11HotkeySource() override;

    bool install(Handler handler, const QSet<int>& grabbed) override;
    bool isInstalled() const override { return m_dpy != nullptr; }
    bool setGrabbedKeys(const QSet<int>& grabbed) override;

    // Whether modifier keys are observed (the RECORD extension answered).
    bool observesModifiers() const { return m_recordContext != 0; }

    struct Record; // the RECORD connection, kept out of this header

private:
    bool grab(int code);
    void ungrab(int code);
    void regrabAll();
    void startRecording();
    void drainEvents();
    void scheduleDrain();
    void modifierEvent(bool pressed, unsigned keycode);

    Handler m_handler;
    ::_XDisplay* m_dpy = nullptr;
    unsigned long m_recordContext = 0;
    std::unique_ptr<Record> m_record;
    QSocketNotifier* m_notifier = nullptr;
    unsigned m_numLockMask = 0;
    QHash<int, unsigned> m_grabbed; // virtual key code → X keycode
    QSet<unsigned> m_down;          // grabbed X keycodes held down
    QHash<int, bool> m_heldModifiers;
};

} // namespace zelk
