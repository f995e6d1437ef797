#include "polish/rewrite_intent.h"

#include "core/text.h"
#include "polish/cloud_polish_contract.h"

#include <QHash>
#include <QStringList>

namespace zelk {

namespace {

const QStringList& fillers() {
    static const QStringList list{QStringLiteral("请你"), QStringLiteral("请"), QStringLiteral("帮我"),
                                  QStringLiteral("麻烦"), QStringLiteral("把它"), QStringLiteral("把这段话"),
                                  QStringLiteral("把这句话"), QStringLiteral("把这段"), QStringLiteral("把这句"),
                                  QStringLiteral("把这些"), QStringLiteral("把"), QStringLiteral("全部"),
                                  QStringLiteral("一下"), QStringLiteral("吧"), QStringLiteral("版本"),
                                  QStringLiteral("版"), QStringLiteral("呢"), QStringLiteral("please"),
                                  QStringLiteral("it"), QStringLiteral("this")};
    return list;
}

const QStringList& verbs() {
    static const QStringList list{QStringLiteral("翻译成"), QStringLiteral("翻译为"), QStringLiteral("翻译到"),
                                  QStringLiteral("翻译"), QStringLiteral("译成"), QStringLiteral("译为"),
                                  QStringLiteral("翻成"), QStringLiteral("改成"), QStringLiteral("转成"),
                                  QStringLiteral("换成"), QStringLiteral("变成"), QStringLiteral("用"),
                                  QStringLiteral("translateinto"), QStringLiteral("translateto"),
                                  QStringLiteral("translate"), QStringLiteral("into"), QStringLiteral("to")};
    return list;
}

const QStringList& connectors() {
    static const QStringList list{QStringLiteral("into"), QStringLiteral("to"), QStringLiteral("成")};
    return list;
}

const QHash<QString, QString>& englishNames() {
    static const QHash<QString, QString> names{
        {QStringLiteral("english"), QStringLiteral("English")},
        {QStringLiteral("chinese"), QStringLiteral("简体中文")},
        {QStringLiteral("simplifiedchinese"), QStringLiteral("简体中文")},
        {QStringLiteral("traditionalchinese"), QStringLiteral("繁體中文")},
        {QStringLiteral("japanese"), QStringLiteral("日本語")},
        {QStringLiteral("korean"), QStringLiteral("한국어")},
        {QStringLiteral("french"), QStringLiteral("Français")},
        {QStringLiteral("german"), QStringLiteral("Deutsch")},
        {QStringLiteral("spanish"), QStringLiteral("Español")},
    };
    return names;
}

bool isDropped(char32_t c) {
    if (QChar::isSpace(c))
        return true;
    switch (QChar::category(c)) {
    case QChar::Punctuation_Connector:
    case QChar::Punctuation_Dash:
    case QChar::Punctuation_Open:
    case QChar::Punctuation_Close:
    case QChar::Punctuation_InitialQuote:
    case QChar::Punctuation_FinalQuote:
    case QChar::Punctuation_Other:
    case QChar::Symbol_Math:
    case QChar::Symbol_Currency:
    case QChar::Symbol_Modifier:
    case QChar::Symbol_Other: return true;
    default: return false;
    }
}

void removeLeadingFillers(QString& t) {
    for (const QString& f : fillers())
        if (t.startsWith(f))
            t.remove(0, f.size());
}

} // namespace

std::optional<QString> RewriteIntent::translateTarget(const QString& instruction) {
    QString t;
    for (char32_t c : instruction.toLower().toUcs4())
        if (!isDropped(c))
            t.append(QString::fromUcs4(&c, 1));
    if (t.isEmpty() || text::graphemeCount(t) > 40)
        return std::nullopt;

    removeLeadingFillers(t);
    for (const QString& verb : verbs()) {
        if (!t.startsWith(verb))
            continue;
        t.remove(0, verb.size());
        removeLeadingFillers(t);
        for (const QString& c : connectors()) {
            if (t.startsWith(c)) {
                t.remove(0, c.size());
                break;
            }
        }
        break;
    }
    const QStringList& f = fillers();
    for (auto it = f.crbegin(); it != f.crend(); ++it)
        if (t.endsWith(*it) && it->size() < t.size())
            t.chop(it->size());
    if (t.endsWith(QStringLiteral("的")))
        t.chop(1);

    if (auto it = englishNames().constFind(t); it != englishNames().cend())
        return *it;
    return CloudPolishContract::serverLanguage(t);
}

} // namespace zelk
