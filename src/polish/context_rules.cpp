#include "polish/context_rules.h"

#include "core/text.h"

namespace zelk {

const QList<std::pair<QStringList, PolishMode>>& ContextRules::builtinAppModeDefaults() {
    static const QList<std::pair<QStringList, PolishMode>> table{
        {{"cursor", "windsurf", "zed", "vscode", "code", "pycharm", "intellij", "webstorm", "goland", "phpstorm",
          "clion", "rubymine", "sublime", "nova", "android studio"},
         PolishMode::prompt},
        {{"chatgpt", "claude", "poe", "perplexity", "kimi", QStringLiteral("豆包"), QStringLiteral("通义")},
         PolishMode::prompt},
        {{"terminal", QStringLiteral("终端"), "iterm", "warp", "ghostty", "kitty", "alacritty", "tabby"},
         PolishMode::commit},
        {{"notes", QStringLiteral("备忘录"), "bear", "obsidian", "typora", "word", "pages", "wechat",
          QStringLiteral("微信"), "feishu", QStringLiteral("飞书"), "slack", "telegram", "discord", "mail",
          QStringLiteral("邮件")},
         PolishMode::clean},
    };
    return table;
}

PolishMode ContextRules::resolveMode(const std::optional<QString>& bundleID, const std::optional<QString>& appName,
                                     const QHash<QString, QString>& userMap, PolishMode fallback) {
    const QString bundle = bundleID.value_or(QString()).toLower();
    const QString name = appName.value_or(QString()).toLower();
    for (auto it = userMap.cbegin(); it != userMap.cend(); ++it) {
        const QString key = text::trimmedSpacesAndTabs(it.key()).toLower();
        const auto mode = polishModeFromRaw(it.value());
        if (key.isEmpty() || !mode)
            continue;
        if (key == bundle || (!bundle.isEmpty() && bundle.contains(key)) || (!name.isEmpty() && name.contains(key)))
            return *mode;
    }
    if (!name.isEmpty()) {
        for (const auto& [keywords, mode] : builtinAppModeDefaults())
            for (const QString& keyword : keywords)
                if (name.contains(keyword))
                    return mode;
    }
    return fallback;
}

} // namespace zelk
