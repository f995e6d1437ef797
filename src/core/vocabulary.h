#pragma once

// The raw-valued vocabulary that settings store and several subsystems share.
// Labels and behaviour live with the subsystems that own them (polish/, hud/).

#include <QList>
#include <QString>

#include <array>
#include <optional>

namespace zelk {

enum class PolishMode { raw, clean, prompt, commit, task, doc, translate, custom, ask };

inline constexpr std::array<PolishMode, 9> allPolishModes{
    PolishMode::raw,  PolishMode::clean,     PolishMode::prompt, PolishMode::commit, PolishMode::task,
    PolishMode::doc,  PolishMode::translate, PolishMode::custom, PolishMode::ask};

QString rawValue(PolishMode mode);
std::optional<PolishMode> polishModeFromRaw(const QString& raw);

enum class ToneLevel { casual = 1, natural = 2, written = 3, formal = 4, ceremonious = 5, custom = 6 };

inline constexpr std::array<ToneLevel, 6> allToneLevels{ToneLevel::casual, ToneLevel::natural,
                                                        ToneLevel::written, ToneLevel::formal,
                                                        ToneLevel::ceremonious, ToneLevel::custom};

inline int rawValue(ToneLevel tone) { return static_cast<int>(tone); }
std::optional<ToneLevel> toneLevelFromRaw(long long raw);

enum class PetalAction { modes, tone, settings, raw, clean, prompt, commit, task, doc, translate, custom };

inline constexpr std::array<PetalAction, 11> allPetalActions{
    PetalAction::modes, PetalAction::tone,   PetalAction::settings, PetalAction::raw,
    PetalAction::clean, PetalAction::prompt, PetalAction::commit,   PetalAction::task,
    PetalAction::doc,   PetalAction::translate, PetalAction::custom};

QString rawValue(PetalAction action);
std::optional<PetalAction> petalActionFromRaw(const QString& raw);

} // namespace zelk
