#include "language/personal_dictionary.h"

#include "core/atomic_file.h"
#include "core/folders.h"
#include "core/log.h"
#include "language/chars.h"
#include "core/text.h"
#include "language/pinyin_matcher.h"
#include "language/term_sound.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace zelk {

namespace {

std::optional<QStringList> readStringArray(const QString& path, bool* existed) {
    QFile f(path);
    *existed = f.exists();
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return std::nullopt;
    QStringList out;
    for (const QJsonValue& v : doc.array()) {
        if (!v.isString())
            return std::nullopt;
        out.append(v.toString());
    }
    return out;
}

} // namespace

std::optional<QStringList> PersonalDictionary::readTerms(const QString& path) {
    bool existed = false;
    return readStringArray(path, &existed);
}

PersonalDictionary::PersonalDictionary(const QString& path, QObject* parent)
    : QObject(parent), m_path(path.isEmpty() ? defaultPath() : path) {}

QString PersonalDictionary::defaultPath() { return QDir(folders::applicationSupport()).filePath(QStringLiteral("dictionary.json")); }

void PersonalDictionary::setTerms(const QStringList& terms) {
    if (terms == m_terms)
        return;
    m_terms = terms;
    Q_EMIT termsChanged();
}

void PersonalDictionary::load() {
    bool existed = false;
    if (auto stored = readStringArray(m_path, &existed)) {
        setTerms(*stored);
        return;
    }
    // An existing file we cannot read is kept aside before any later save can
    // replace it: the user's terms are never lost to a bad read.
    if (existed)
        preserveUnreadableFile(m_path);
    const QStringList migrated = migrateLegacy();
    setTerms(migrated);
    if (!migrated.isEmpty()) {
        save();
        qCInfo(Log::app()).noquote() << QStringLiteral("已从旧版 Zelk 迁移 %1 条热词").arg(migrated.size());
    }
}

QStringList PersonalDictionary::migrateLegacy() const {
    QFile f(QFileInfo(m_path).dir().filePath(QStringLiteral("zelk_settings.json")));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll());
    if (!doc.isObject())
        return {};
    const QJsonValue hotwords = doc.object().value(QStringLiteral("hotwords"));
    if (!hotwords.isString())
        return {};
    static const QRegularExpression whitespace(QStringLiteral("\\s+"));
    return normalize(hotwords.toString().split(whitespace, Qt::SkipEmptyParts));
}

void PersonalDictionary::save() {
    QJsonArray array;
    for (const QString& t : m_terms)
        array.append(t);
    QString error;
    if (!writeFileAtomically(m_path, QJsonDocument(array).toJson(QJsonDocument::Compact), &error))
        qCCritical(Log::app()).noquote() << QStringLiteral("词典保存失败：%1").arg(error);
}

void PersonalDictionary::add(const QString& term) {
    for (const QString& t : m_terms)
        if (t.compare(term, Qt::CaseInsensitive) == 0)
            return;
    setTerms(normalize(m_terms + QStringList{term}));
    save();
}

void PersonalDictionary::remove(const QString& term) {
    QStringList rest;
    for (const QString& t : m_terms)
        if (t.compare(term, Qt::CaseInsensitive) != 0)
            rest.append(t);
    if (rest.size() == m_terms.size())
        return;
    setTerms(normalize(rest));
    save();
}

void PersonalDictionary::replaceAll(const QStringList& list) {
    setTerms(normalize(list));
    save();
}

std::optional<PersonalDictionary::Replacement> PersonalDictionary::replacement(const QString& term) {
    static const QStringList separators{QStringLiteral("="), QStringLiteral("＝"), QStringLiteral("→"), QStringLiteral("->")};
    for (const QString& sep : separators) {
        const qsizetype at = term.indexOf(sep);
        if (at < 0)
            continue;
        const QString from = text::trimmedSpacesAndTabs(term.left(at));
        const QString to = text::trimmedSpacesAndTabs(term.mid(at + sep.size()));
        if (from.isEmpty() || to.isEmpty() || from == to)
            return std::nullopt;
        return Replacement{from, to};
    }
    return std::nullopt;
}

QList<PersonalDictionary::Replacement> PersonalDictionary::replacementsOf(const QStringList& terms) {
    QList<Replacement> out;
    for (const QString& t : terms)
        if (auto r = replacement(t))
            out.append(*r);
    return out;
}

QStringList PersonalDictionary::plainTermsOf(const QStringList& terms) {
    QStringList out;
    for (const QString& t : terms)
        if (!replacement(t))
            out.append(t);
    return out;
}

QStringList PersonalDictionary::preferredSpellings() const {
    QStringList out = plainTerms();
    for (const auto& r : replacements())
        out.append(r.to);
    return out;
}

QStringList PersonalDictionary::preferredSpellingsOf(const QStringList& terms) {
    QStringList out;
    QSet<QString> seen;
    for (const QString& t : terms) {
        const auto r = replacement(t);
        const QString spelling = text::trimmedWhitespaceAndNewlines(r ? r->to : t);
        if (spelling.isEmpty())
            continue;
        const QString key = spelling.toLower();
        if (seen.contains(key))
            continue;
        seen.insert(key);
        out.append(spelling);
    }
    return out;
}

QString PersonalDictionary::hotwordText() const {
    QStringList newestFirst(m_terms.rbegin(), m_terms.rend());
    return cappedHotwords(preferredSpellingsOf(newestFirst), 160);
}

QStringList PersonalDictionary::normalize(const QStringList& list) {
    static const QRegularExpression separators(QStringLiteral("[,，\\n]"));
    QStringList out;
    QSet<QString> seen;
    for (const QString& entry : list)
        for (const QString& piece : entry.split(separators, Qt::SkipEmptyParts)) {
            const QString t = text::trimmedSpacesAndTabs(piece);
            if (t.isEmpty())
                continue;
            const QString key = t.toLower();
            if (seen.contains(key))
                continue;
            seen.insert(key);
            out.append(t);
        }
    return out;
}

QString PersonalDictionary::cappedHotwords(const QStringList& list, qsizetype limit) {
    QString text;
    for (const QString& entry : list) {
        const QString candidate = text.isEmpty() ? entry : text + QLatin1Char(' ') + entry;
        if (chars::count(candidate) <= limit)
            text = candidate;
    }
    return text;
}

QString PersonalDictionary::replaceExact(const QString& from, const QString& to, const QString& text) {
    if (text.isEmpty() || from.isEmpty())
        return text;
    if (!to.contains(from)) {
        QString out = text;
        return out.replace(from, to);
    }
    // The right spelling contains the wrong one (Git → GitHub): existing right
    // spellings are copied, never expanded again.
    QString out;
    out.reserve(text.size() + to.size());
    const QStringView view(text);
    qsizetype i = 0;
    while (i < text.size()) {
        const QStringView rest = view.mid(i);
        if (rest.startsWith(to)) {
            out += to;
            i += to.size();
        } else if (rest.startsWith(from)) {
            out += to;
            i += from.size();
        } else {
            out += text[i];
            ++i;
        }
    }
    return out;
}

QString PersonalDictionary::corrections(const QString& input, const QStringList& terms, bool builtin) {
    const QList<Replacement> rules = replacementsOf(terms);
    const QStringList plain = plainTermsOf(terms);
    QString text = input;
    for (const auto& r : rules)
        text = replaceExact(r.from, r.to, text);

    QSet<QString> protectedTexts(plain.begin(), plain.end());
    QList<std::pair<QString, QString>> pairs;
    for (const auto& r : rules) {
        protectedTexts.insert(r.to);
        pairs.append({r.from, r.to});
    }
    text = PinyinMatcher::applyRuleHomophones(text, pairs, protectedTexts);
    text = PinyinMatcher::applyNearHomophones(text, plain);
    const QStringList spellings = preferredSpellingsOf(terms);
    text = TermSound::applyLetterReadings(text, spellings, protectedTexts);
    text = TermSound::applySpacing(text, spellings, protectedTexts);
    if (builtin)
        text = TermSound::correctBuiltin(text, protectedTexts);
    return text;
}

} // namespace zelk
