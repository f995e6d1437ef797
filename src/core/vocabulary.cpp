#include "core/vocabulary.h"

namespace zelk {

QString rawValue(PolishMode mode) {
    switch (mode) {
    case PolishMode::raw: return QStringLiteral("raw");
    case PolishMode::clean: return QStringLiteral("clean");
    case PolishMode::prompt: return QStringLiteral("prompt");
    case PolishMode::commit: return QStringLiteral("commit");
    case PolishMode::task: return QStringLiteral("task");
    case PolishMode::doc: return QStringLiteral("doc");
    case PolishMode::translate: return QStringLiteral("translate");
    case PolishMode::custom: return QStringLiteral("custom");
    case PolishMode::ask: return QStringLiteral("ask");
    }
    return {};
}

std::optional<PolishMode> polishModeFromRaw(const QString& raw) {
    for (auto mode : allPolishModes)
        if (rawValue(mode) == raw)
            return mode;
    return std::nullopt;
}

std::optional<ToneLevel> toneLevelFromRaw(long long raw) {
    if (raw < 1 || raw > 6)
        return std::nullopt;
    return static_cast<ToneLevel>(raw);
}

QString rawValue(PetalAction action) {
    switch (action) {
    case PetalAction::modes: return QStringLiteral("modes");
    case PetalAction::tone: return QStringLiteral("tone");
    case PetalAction::settings: return QStringLiteral("settings");
    case PetalAction::raw: return QStringLiteral("raw");
    case PetalAction::clean: return QStringLiteral("clean");
    case PetalAction::prompt: return QStringLiteral("prompt");
    case PetalAction::commit: return QStringLiteral("commit");
    case PetalAction::task: return QStringLiteral("task");
    case PetalAction::doc: return QStringLiteral("doc");
    case PetalAction::translate: return QStringLiteral("translate");
    case PetalAction::custom: return QStringLiteral("custom");
    }
    return {};
}

std::optional<PetalAction> petalActionFromRaw(const QString& raw) {
    for (auto action : allPetalActions)
        if (rawValue(action) == raw)
            return action;
    return std::nullopt;
}

} // namespace zelk
