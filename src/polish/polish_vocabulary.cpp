#include "polish/polish_vocabulary.h"

#include "core/settings.h"
#include "core/text.h"

namespace zelk {

QString label(PolishMode mode) {
    using Settings::localized;
    switch (mode) {
    case PolishMode::raw: return localized(QStringLiteral("免润色（原文直出）"), QStringLiteral("Verbatim (no polish)"));
    case PolishMode::clean: return localized(QStringLiteral("清理口语"), QStringLiteral("Clean speech"));
    case PolishMode::prompt: return localized(QStringLiteral("→ AI Prompt"), QStringLiteral("→ AI prompt"));
    case PolishMode::commit: return localized(QStringLiteral("→ Git 提交"), QStringLiteral("→ Git commit"));
    case PolishMode::task: return localized(QStringLiteral("→ 任务清单"), QStringLiteral("→ Task list"));
    case PolishMode::doc: return localized(QStringLiteral("→ 技术文档"), QStringLiteral("→ Tech doc"));
    case PolishMode::translate: return localized(QStringLiteral("→ 翻译"), QStringLiteral("→ Translate"));
    case PolishMode::custom: return localized(QStringLiteral("✎ 自定义"), QStringLiteral("✎ Custom"));
    case PolishMode::ask: return localized(QStringLiteral("改写选中（F3）"), QStringLiteral("Rewrite selection (F3)"));
    }
    return {};
}

QString menuTooltip(PolishMode mode) {
    switch (mode) {
    case PolishMode::clean: return QStringLiteral("删口水词、修错字、补标点，把口语整理干净。最通用。");
    case PolishMode::prompt: return QStringLiteral("把啰嗦口语提炼成给 AI（Cursor/Claude/ChatGPT）的清晰指令。");
    case PolishMode::commit: return QStringLiteral("整理成规范的 Git 提交信息（type: 主题 + 要点）。");
    case PolishMode::task: return QStringLiteral("整理成结构化任务清单（复选框）。");
    case PolishMode::doc: return QStringLiteral("整理成简洁的技术文档片段（小标题 + 要点）。");
    case PolishMode::translate: return QStringLiteral("边说边译：口述内容直接翻译成目标语言输出。");
    case PolishMode::custom: return QStringLiteral("你自己的提示词——想让 AI 怎么整理，就写什么。");
    case PolishMode::raw:
    case PolishMode::ask: return {};
    }
    return {};
}

QString PolishModeLabels::storedLabel(const QString& stored) {
    if (stored == QLatin1String("calc"))
        return Settings::localized(QStringLiteral("计算"), QStringLiteral("Calc"));
    if (auto mode = polishModeFromRaw(stored))
        return label(*mode);
    return stored;
}

QString label(ToneLevel tone) {
    using Settings::localized;
    switch (tone) {
    case ToneLevel::casual: return localized(QStringLiteral("随意"), QStringLiteral("Casual"));
    case ToneLevel::natural: return localized(QStringLiteral("自然（默认）"), QStringLiteral("Natural (default)"));
    case ToneLevel::written: return localized(QStringLiteral("书面"), QStringLiteral("Written"));
    case ToneLevel::formal: return localized(QStringLiteral("正式"), QStringLiteral("Formal"));
    case ToneLevel::ceremonious: return localized(QStringLiteral("严谨敬语"), QStringLiteral("Honorific"));
    case ToneLevel::custom: return localized(QStringLiteral("✎ 自定义语气"), QStringLiteral("✎ Custom tone"));
    }
    return {};
}

QString toneKey(ToneLevel tone) {
    switch (tone) {
    case ToneLevel::casual: return QStringLiteral("casual");
    case ToneLevel::natural: return QStringLiteral("natural");
    case ToneLevel::written: return QStringLiteral("written");
    case ToneLevel::formal: return QStringLiteral("formal");
    case ToneLevel::ceremonious: return QStringLiteral("honorific");
    case ToneLevel::custom: return QStringLiteral("natural");
    }
    return QStringLiteral("natural");
}

ToneLevel currentToneLevel() { return Settings::toneLevel(); }

const QHash<QString, QStringList>& ToneExamples::fewshotOutputsByTone() {
    static const QHash<QString, QStringList> table{
        {QStringLiteral("casual"),
         {QStringLiteral("明天下午三点开会哈，记得带上笔记本电脑。"), QStringLiteral("会议改到周四下午吧。"),
          QStringLiteral("帮我写个 Python 函数，算一下斐波那契数列呗。"), QStringLiteral("你帮我总结下这篇文章的要点呗。")}},
        {QStringLiteral("natural"),
         {QStringLiteral("我们明天下午三点开会，你记得带上笔记本电脑。"), QStringLiteral("把会议改到周四下午。"),
          QStringLiteral("帮我写一个 Python 函数，计算斐波那契数列。"), QStringLiteral("你帮我总结一下这篇文章的要点。")}},
        {QStringLiteral("written"),
         {QStringLiteral("我们明天下午三点开会，你记得携带笔记本电脑。"), QStringLiteral("将会议改至周四下午。"),
          QStringLiteral("帮我编写一个 Python 函数，用于计算斐波那契数列。"), QStringLiteral("你帮我总结这篇文章的要点。")}},
        {QStringLiteral("formal"),
         {QStringLiteral("我们定于明天下午三点开会，请您届时携带笔记本电脑。"), QStringLiteral("请将会议调整至周四下午。"),
          QStringLiteral("麻烦您帮忙编写一个 Python 函数，用于计算斐波那契数列。"),
          QStringLiteral("请您帮忙总结一下这篇文章的要点。")}},
        {QStringLiteral("honorific"),
         {QStringLiteral("我们定于明天下午三点开会，烦请您届时携带笔记本电脑，谢谢。"),
          QStringLiteral("烦请将会议调整至周四下午，非常感谢。"),
          QStringLiteral("烦请您帮忙编写一个 Python 函数，用于计算斐波那契数列，非常感谢。"),
          QStringLiteral("劳烦您帮忙总结这篇文章的要点，谢谢。")}},
    };
    return table;
}

QStringList ToneExamples::localFewshotOutputs(ToneLevel tone, const std::optional<QString>& customTone) {
    const auto& table = fewshotOutputsByTone();
    const QStringList natural = table.value(QStringLiteral("natural"));
    if (tone != ToneLevel::custom)
        return table.contains(toneKey(tone)) ? table.value(toneKey(tone)) : natural;
    const QString custom = customTone ? text::trimmedWhitespaceAndNewlines(*customTone) : QString();
    if (custom.isEmpty())
        return natural;
    // A custom register makes the toned examples misleading; keep the neutral two.
    return natural.mid(2, 2);
}

} // namespace zelk
