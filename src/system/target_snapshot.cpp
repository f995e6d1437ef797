#include "system/target_snapshot.h"

#include "core/text.h"

namespace zelk {

namespace {

std::optional<QString> nonEmpty(std::optional<QString> s) {
    if (s && s->isEmpty())
        return std::nullopt;
    return s;
}

} // namespace

std::optional<TargetSnapshot> TargetSnapshot::capture(const DesktopServices& desktop) {
    const auto front = desktop.workspace.frontmostApplication();
    if (!front)
        return std::nullopt;
    TargetSnapshot snap(desktop);
    Accessibility& ax = desktop.accessibility;
    snap.focusedElement = ax.focusedElement();
    snap.pid = qint32(front->pid);
    snap.bundleID = front->bundleID;
    snap.appName = front->localizedName.value_or(QStringLiteral("未知应用"));
    if (const auto window = ax.focusedWindow(snap.pid))
        snap.windowTitle = nonEmpty(ax.title(*window));
    if (snap.focusedElement)
        snap.selectedText = nonEmpty(ax.selectedText(*snap.focusedElement));
    return snap;
}

bool TargetSnapshot::originalStillFocused() const {
    if (!focusedElement)
        return true;
    Accessibility& ax = m_desktop->accessibility;
    if (ax.isFocused(*focusedElement) != true)
        return false;
    const auto window = ax.window(*focusedElement);
    if (!window)
        return false;
    const auto appWindow = ax.focusedWindow(pid);
    return appWindow && *window == *appWindow;
}

TargetSnapshot::Validity TargetSnapshot::validate() const {
    const auto app = m_desktop->workspace.runningApplication(pid);
    if (!app || app->isTerminated)
        return AppGone{};
    const auto front = m_desktop->workspace.frontmostApplication();
    if (!front)
        return FocusMoved{};
    if (front->pid != pid)
        return OtherApp{front->localizedName.value_or(QStringLiteral("其他应用"))};
    if (!focusedElement)
        return Ok{};
    const auto focused = m_desktop->accessibility.focusedElement();
    if (focused && *focused == *focusedElement)
        return Ok{};
    return FocusMoved{};
}

Task<bool> TargetSnapshot::restoreFocus(CancellationToken token) const {
    if (!focusedElement || originalStillFocused())
        co_return true;
    Accessibility& ax = m_desktop->accessibility;
    if (const auto window = ax.window(*focusedElement))
        ax.raiseWindow(*window);
    if (!ax.setFocused(*focusedElement))
        co_return false;
    // Give the application time to move its focus; a cancelled wait goes on at once.
    co_await m_desktop->clock.sleep(milliseconds(150), token);
    if (std::holds_alternative<Ok>(validate()))
        co_return true;
    co_return originalStillFocused();
}

std::optional<QString> TargetSnapshot::focusedFieldText() const {
    if (!focusedElement || !originalStillFocused())
        return std::nullopt;
    Accessibility& ax = m_desktop->accessibility;
    if (ax.isSecureTextField(*focusedElement))
        return std::nullopt;
    if (const auto value = ax.value(*focusedElement)) {
        if (text::graphemeCount(*value) > maxFieldCharacters)
            return std::nullopt;
        return value;
    }
    return textViaRange(*focusedElement);
}

std::optional<QString> TargetSnapshot::textViaRange(const AccessibleElement& element) const {
    Accessibility& ax = m_desktop->accessibility;
    auto count = ax.characterCount(element);
    if (!count) {
        if (const auto range = ax.selectedTextRange(element))
            count = range->location + range->length;
    }
    if (!count || *count <= 0 || *count > maxFieldCharacters)
        return std::nullopt;
    auto s = nonEmpty(ax.stringForRange(element, {0, *count}));
    if (s && text::graphemeCount(*s) > maxFieldCharacters)
        return std::nullopt;
    return s;
}

} // namespace zelk
