#include "system/hotkey_monitor.h"

#include "core/log.h"
#include "platform/key_codes.h"
#include "system/hotkey_option.h"

namespace zelk {

using Disposition = GlobalKeySource::Disposition;
using Event = GlobalKeySource::Event;

HotkeyMonitor::HotkeyMonitor(std::unique_ptr<GlobalKeySource> source) : m_source(std::move(source)) {}

HotkeyMonitor::~HotkeyMonitor() = default;

bool HotkeyMonitor::start() {
    if (m_source->isInstalled())
        return true;
    if (!m_source->install([this](const Event& e) { return handle(e); }, swallowedKeys())) {
        qCInfo(Log::hotkey) << "全局热键创建失败（通常是按键已被其他程序占用或没有图形会话）";
        return false;
    }
    qCInfo(Log::hotkey).noquote() << QStringLiteral("全局热键已就绪（keyCode %1）").arg(m_toggleKeyCode);
    return true;
}

void HotkeyMonitor::setCapturingEscape(bool capturing) {
    if (m_capturingEscape == capturing)
        return;
    m_capturingEscape = capturing;
    updateGrabs();
}

void HotkeyMonitor::setToggleKeyCode(qint64 code) {
    if (m_toggleKeyCode == code)
        return;
    m_toggleKeyCode = code;
    updateGrabs();
}

void HotkeyMonitor::setAskKeyCode(qint64 code) {
    if (m_askKeyCode == code)
        return;
    m_askKeyCode = code;
    updateGrabs();
}

QSet<int> HotkeyMonitor::swallowedKeys() const {
    QSet<int> keys;
    for (const qint64 code : {m_toggleKeyCode, m_askKeyCode}) {
        if (!HotkeyOption::isModifier(code))
            keys.insert(int(code));
    }
    if (m_capturingEscape)
        keys.insert(keycode::escape);
    return keys;
}

void HotkeyMonitor::updateGrabs() {
    if (m_source->isInstalled() && !m_source->setGrabbedKeys(swallowedKeys()))
        qCInfo(Log::hotkey).noquote() << QStringLiteral("热键被其他程序占用（keyCode %1 / %2）")
                                              .arg(m_toggleKeyCode)
                                              .arg(m_askKeyCode);
}

void HotkeyMonitor::emitEvent(HotkeyEvent event) {
    if (onEvent)
        onEvent(event);
}

Disposition HotkeyMonitor::handle(const Event& event) {
    const qint64 code = event.keyCode;
    if (event.type == Event::Type::keyDown) {
        if (code == m_toggleKeyCode && !HotkeyOption::isModifier(code)) {
            if (!event.isAutoRepeat)
                emitEvent(HotkeyEvent::toggle);
            return Disposition::swallow;
        }
        if (code == m_askKeyCode && !HotkeyOption::isModifier(code)) {
            if (!event.isAutoRepeat)
                emitEvent(HotkeyEvent::toggleAsk);
            return Disposition::swallow;
        }
        if (code == keycode::escape && m_capturingEscape) {
            emitEvent(HotkeyEvent::cancel);
            return Disposition::swallow;
        }
        return Disposition::pass;
    }
    // A modifier change: fire on press only, and let the application see it.
    const quint64 flag = HotkeyOption::modifierFlag(code);
    if (flag == 0 || (event.flags & flag) == 0)
        return Disposition::pass;
    if (code == m_toggleKeyCode)
        emitEvent(HotkeyEvent::toggle);
    else if (code == m_askKeyCode)
        emitEvent(HotkeyEvent::toggleAsk);
    return Disposition::pass;
}

} // namespace zelk
