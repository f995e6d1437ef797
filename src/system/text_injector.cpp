#include "system/text_injector.h"

#include "core/settings.h"
#include "core/text.h"

namespace zelk::TextInjector {

namespace {

bool isStripped(char32_t c) {
    if (c == U'\n' || c == U'\t' || c == U'\r')
        return false;
    // Bidirectional and zero-width controls are listed for clarity: most are format characters anyway.
    if ((c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF ||
        c == 0x7F)
        return true;
    const auto category = QChar::category(c);
    return category == QChar::Other_Control || category == QChar::Other_Format;
}

void putOnClipboard(Clipboard& clipboard, const QString& text) {
    clipboard.clear();
    clipboard.setText(text);
}

Copied copiedAfterPuttingOnClipboard(const DesktopServices& desktop, const QString& text, QString reason) {
    putOnClipboard(desktop.clipboard, text);
    return Copied{std::move(reason)};
}

QString focusMovedReason() { return Settings::localized(QStringLiteral("输入位置已变化"), QStringLiteral("input focus moved")); }

QString goneReason(const TargetSnapshot& target) { return target.appName + QStringLiteral(" 已退出"); }

Outcome pasteViaClipboard(const DesktopServices& desktop, const QString& text, const QString& appName) {
    putOnClipboard(desktop.clipboard, text);
    if (desktop.keys.postPaste())
        return Pasted{appName};
    return Copied{QStringLiteral("粘贴事件被拒（检查辅助功能权限）")};
}

} // namespace

QString outcomeWord(const Outcome& outcome) {
    return std::holds_alternative<Pasted>(outcome) ? QStringLiteral("pasted") : QStringLiteral("copied");
}

QString sanitize(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        if (isStripped(c))
            continue;
        if (QChar::requiresSurrogates(c)) {
            out.append(QChar(QChar::highSurrogate(c)));
            out.append(QChar(QChar::lowSurrogate(c)));
        } else {
            out.append(QChar(c));
        }
    }
    return text::graphemeCount(out) > maxCharacters ? text::graphemePrefix(out, maxCharacters) : out;
}

Task<Outcome> deliver(const DesktopServices& desktop, QString text, std::optional<TargetSnapshot> target,
                      CancellationToken token) {
    const QString clean = sanitize(text);
    if (clean.isEmpty())
        co_return Copied{QStringLiteral("内容为空")};
    if (!target)
        co_return copiedAfterPuttingOnClipboard(desktop, clean, QStringLiteral("未记录目标"));

    auto validity = target->validate();
    if (std::holds_alternative<TargetSnapshot::OtherApp>(validity)) {
        const auto app = desktop.workspace.runningApplication(target->pid);
        if (!app || app->isTerminated || !desktop.workspace.activate(target->pid))
            co_return copiedAfterPuttingOnClipboard(desktop, clean, QStringLiteral("原窗口不可用"));
        // The window manager needs a moment to hand the focus over; a cancelled wait goes on at once.
        co_await desktop.clock.sleep(milliseconds(220), token);
        validity = target->validate();
        if (std::holds_alternative<TargetSnapshot::OtherApp>(validity))
            co_return copiedAfterPuttingOnClipboard(desktop, clean, QStringLiteral("无法回到 ") + target->appName);
    }

    if (std::holds_alternative<TargetSnapshot::AppGone>(validity))
        co_return copiedAfterPuttingOnClipboard(desktop, clean, goneReason(*target));
    if (std::holds_alternative<TargetSnapshot::FocusMoved>(validity)) {
        const bool restored = co_await target->restoreFocus(token);
        if (!restored)
            co_return copiedAfterPuttingOnClipboard(desktop, clean, focusMovedReason());
    }
    co_return pasteViaClipboard(desktop, clean, target->appName);
}

Task<Outcome> deliver(QString text, std::optional<TargetSnapshot> target, CancellationToken token) {
    co_return co_await deliver(DesktopServices::shared(), std::move(text), std::move(target), token);
}

} // namespace zelk::TextInjector
