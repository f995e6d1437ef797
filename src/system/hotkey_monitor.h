#pragma once

#include "platform/global_key_source.h"

#include <functional>
#include <memory>

namespace zelk {

// Turns the desktop-wide dictation key, rewrite key and (while recording)
// Escape into events for the dictation controller. Ordinary hotkeys are taken
// away from the focused application; modifier hotkeys fire on press and still
// reach it.
class HotkeyMonitor {
public:
    enum class HotkeyEvent { toggle, toggleAsk, cancel };

    // The monitor owns the source: the keys are released with the monitor.
    explicit HotkeyMonitor(std::unique_ptr<GlobalKeySource> source);
    ~HotkeyMonitor();
    HotkeyMonitor(const HotkeyMonitor&) = delete;
    HotkeyMonitor& operator=(const HotkeyMonitor&) = delete;

    GlobalKeySource& source() { return *m_source; }

    // Called on the main thread, inside the key event: must return quickly.
    std::function<void(HotkeyEvent)> onEvent;

    // Installs the key source unless it is installed; answers whether it is.
    bool start();

    bool isCapturingEscape() const { return m_capturingEscape; }
    void setCapturingEscape(bool capturing);
    qint64 toggleKeyCode() const { return m_toggleKeyCode; }
    void setToggleKeyCode(qint64 code);
    qint64 askKeyCode() const { return m_askKeyCode; }
    void setAskKeyCode(qint64 code);

    // The decision for one key event (the source's callback).
    GlobalKeySource::Disposition handle(const GlobalKeySource::Event& event);

private:
    // The keys that must not reach the focused application in the current state.
    QSet<int> swallowedKeys() const;
    void updateGrabs();
    void emitEvent(HotkeyEvent event);

    std::unique_ptr<GlobalKeySource> m_source;
    bool m_capturingEscape = false;
    qint64 m_toggleKeyCode = 120;
    qint64 m_askKeyCode = 99;
};

} // namespace zelk
