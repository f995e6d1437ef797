#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <utility>

// Replaces homophones of the user's terms in a transcript (飞书 heard as 非书):
// once for explicit corrections, once for plain Chinese terms. Latin text is
// untouched. Pure; any thread.
namespace zelk::PinyinMatcher {

// `rules` are the dictionary's replacements as (from, to), in term order.
QString applyRuleHomophones(const QString& text, const QList<std::pair<QString, QString>>& rules, const QSet<QString>& protectedTexts);
QString applyNearHomophones(const QString& text, const QStringList& terms);
bool isAllHan(const QString& text);

} // namespace zelk::PinyinMatcher
