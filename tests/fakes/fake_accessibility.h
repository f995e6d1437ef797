#pragma once

#include "platform/accessibility.h"

#include <QHash>
#include <QStringList>

namespace zelk::test {

// An accessibility tree as a table of elements keyed by path. Every read of
// an unknown element answers absent. Calls that change something are logged.
class FakeAccessibility final : public Accessibility {
public:
    struct Element {
        std::optional<bool> focused = true;
        std::optional<QString> window; // path of its top-level window
        bool secure = false;
        bool acceptsFocus = true;
        std::optional<QString> title;
        std::optional<QString> selectedText;
        std::optional<QString> value;
        std::optional<qint64> characterCount;
        std::optional<TextRange> selectedRange;
        QString rangeText; // what stringForRange cuts from
    };

    bool available = true;
    bool trusted = true;
    int trustPrompts = 0;
    std::optional<QString> focused;          // path of the focused element
    QHash<qint64, QString> focusedWindows;   // pid → path of its focused window
    QHash<QString, Element> elements;
    QStringList calls;

    static AccessibleElement element(const QString& path) { return {QStringLiteral("fake"), path, nullptr}; }
    static Element field(bool isFocused, const QString& window, std::optional<QString> selected = std::nullopt) {
        Element e;
        e.focused = isFocused;
        e.window = window;
        e.selectedText = std::move(selected);
        return e;
    }
    static Element windowTitled(const QString& title) {
        Element e;
        e.title = title;
        return e;
    }

    bool isAvailable() override { return available; }
    bool isTrusted(bool prompt) override {
        trustPrompts += prompt ? 1 : 0;
        return available && trusted;
    }
    std::optional<AccessibleElement> focusedElement() override {
        return focused ? std::optional(element(*focused)) : std::nullopt;
    }
    std::optional<AccessibleElement> window(const AccessibleElement& e) override {
        const Element* el = find(e);
        return el && el->window ? std::optional(element(*el->window)) : std::nullopt;
    }
    std::optional<AccessibleElement> focusedWindow(qint64 pid) override {
        return focusedWindows.contains(pid) ? std::optional(element(focusedWindows.value(pid))) : std::nullopt;
    }
    std::optional<QString> title(const AccessibleElement& w) override {
        const Element* el = find(w);
        return el ? el->title : std::nullopt;
    }
    std::optional<bool> isFocused(const AccessibleElement& e) override {
        const Element* el = find(e);
        return el ? el->focused : std::nullopt;
    }
    bool isSecureTextField(const AccessibleElement& e) override {
        const Element* el = find(e);
        return el && el->secure;
    }
    std::optional<QString> selectedText(const AccessibleElement& e) override {
        const Element* el = find(e);
        return el ? el->selectedText : std::nullopt;
    }
    std::optional<QString> value(const AccessibleElement& e) override {
        calls << QStringLiteral("value ") + e.path;
        const Element* el = find(e);
        return el ? el->value : std::nullopt;
    }
    std::optional<qint64> characterCount(const AccessibleElement& e) override {
        const Element* el = find(e);
        return el ? el->characterCount : std::nullopt;
    }
    std::optional<TextRange> selectedTextRange(const AccessibleElement& e) override {
        const Element* el = find(e);
        return el ? el->selectedRange : std::nullopt;
    }
    std::optional<QString> stringForRange(const AccessibleElement& e, TextRange r) override {
        calls << QStringLiteral("stringForRange %1 %2 %3").arg(e.path).arg(r.location).arg(r.length);
        const Element* el = find(e);
        if (!el)
            return std::nullopt;
        return el->rangeText.mid(r.location, r.length);
    }
    void raiseWindow(const AccessibleElement& w) override { calls << QStringLiteral("raise ") + w.path; }
    // An accepted request moves the focus at once, as an application would.
    bool setFocused(const AccessibleElement& e) override {
        calls << QStringLiteral("setFocused ") + e.path;
        auto it = elements.find(e.path);
        if (it == elements.end() || !it->acceptsFocus)
            return false;
        if (focused && elements.contains(*focused))
            elements[*focused].focused = false;
        focused = e.path;
        it->focused = true;
        return true;
    }

private:
    const Element* find(const AccessibleElement& e) const {
        auto it = elements.constFind(e.path);
        return it == elements.constEnd() ? nullptr : &*it;
    }
};

} // namespace zelk::test
