#include "language/word_suggestion_store.h"

#include "core/atomic_file.h"
#include "core/clock.h"
#include "core/log.h"
#include "language/personal_dictionary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace zelk {

namespace {

constexpr qsizetype kPendingLimit = 20;
constexpr qsizetype kDismissedLimit = 200;
constexpr qsizetype kCountsLimit = 200;
constexpr qsizetype kLearnedLimit = 300;
constexpr qsizetype kTrialLimit = 100;

template <typename T>
QList<T> lastN(QList<T> list, qsizetype n) {
    if (list.size() > n)
        list.remove(0, list.size() - n);
    return list;
}

template <typename T>
QList<T> without(const QList<T>& list, const QString& entry) {
    QList<T> out;
    for (const T& x : list)
        if (x.entry != entry)
            out.append(x);
    return out;
}

// JSON integers arrive as doubles; only whole numbers count.
std::optional<qint64> integer(const QJsonValue& v) {
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    if (d != double(qint64(d)))
        return std::nullopt;
    return qint64(d);
}

std::optional<WordSuggestionStore::Item> decodeItem(const QJsonValue& v) {
    const QJsonObject o = v.toObject();
    const QJsonValue from = o.value(QStringLiteral("from")), to = o.value(QStringLiteral("to")), entry = o.value(QStringLiteral("entry"));
    const auto time = integer(o.value(QStringLiteral("time")));
    if (!v.isObject() || !from.isString() || !to.isString() || !entry.isString() || !time)
        return std::nullopt;
    return WordSuggestionStore::Item{from.toString(), to.toString(), entry.toString(), *time};
}

std::optional<WordSuggestionStore::Count> decodeCount(const QJsonValue& v) {
    const auto item = decodeItem(v);
    const auto count = integer(v.toObject().value(QStringLiteral("count")));
    if (!item || !count)
        return std::nullopt;
    return WordSuggestionStore::Count{item->from, item->to, item->entry, *count, item->time};
}

QJsonObject encode(const WordSuggestionStore::Item& i) {
    return {{QStringLiteral("from"), i.from}, {QStringLiteral("to"), i.to}, {QStringLiteral("entry"), i.entry}, {QStringLiteral("time"), i.time}};
}

QJsonObject encode(const WordSuggestionStore::Count& c) {
    return {{QStringLiteral("from"), c.from},   {QStringLiteral("to"), c.to},      {QStringLiteral("entry"), c.entry},
            {QStringLiteral("count"), c.count}, {QStringLiteral("time"), c.time}};
}

// Reads one array member; `lossy` is set when something present could not be used.
template <typename T, typename Decode>
QList<T> readList(const QJsonObject& root, const char* key, Decode decode, bool* lossy) {
    QList<T> out;
    const QJsonValue v = root.value(QLatin1String(key));
    if (v.isUndefined())
        return out;
    if (!v.isArray()) {
        *lossy = true;
        return out;
    }
    for (const QJsonValue& e : v.toArray()) {
        if (auto x = decode(e))
            out.append(*x);
        else
            *lossy = true;
    }
    return out;
}

} // namespace

WordSuggestionStore::WordSuggestionStore(const QString& path, Clock* clock, QObject* parent)
    : QObject(parent), m_path(path.isEmpty() ? defaultPath() : path), m_clock(clock) {
    load();
}

QString WordSuggestionStore::defaultPath() {
    return QFileInfo(PersonalDictionary::defaultPath()).dir().filePath(QStringLiteral("word_suggestions.json"));
}

QString WordSuggestionStore::observeResultName(ObserveResult r) {
    switch (r) {
    case ObserveResult::learned: return QStringLiteral("learned");
    case ObserveResult::trial: return QStringLiteral("trial");
    case ObserveResult::counted: return QStringLiteral("counted");
    case ObserveResult::ignored: return QStringLiteral("ignored");
    }
    return {};
}

qint64 WordSuggestionStore::now() const { return (m_clock ? *m_clock : Clock::shared()).wallNow().toSecsSinceEpoch(); }

void WordSuggestionStore::load() {
    QFile f(m_path);
    if (!f.exists())
        return;
    QJsonDocument doc;
    if (f.open(QIODevice::ReadOnly))
        doc = QJsonDocument::fromJson(f.readAll());
    f.close();
    bool lossy = !doc.isObject();
    const QJsonObject root = doc.object();
    auto pending = readList<Item>(root, "pending", decodeItem, &lossy);
    QStringList dismissed;
    for (const auto& s : readList<QString>(root, "dismissed", [](const QJsonValue& v) -> std::optional<QString> {
             if (!v.isString())
                 return std::nullopt;
             return v.toString();
         }, &lossy))
        dismissed.append(s);
    auto counts = readList<Count>(root, "counts", decodeCount, &lossy);
    auto learned = readList<Item>(root, "learned", decodeItem, &lossy);
    auto trial = readList<Item>(root, "trial", decodeItem, &lossy);

    // Whatever could not be read is kept aside before the next save rewrites
    // the file without it.
    if (lossy)
        preserveUnreadableFile(m_path);

    if (pending.size() > kPendingLimit)
        pending.resize(kPendingLimit);
    setPending(pending);
    setDismissed(lastN(dismissed, kDismissedLimit));
    setCounts(lastN(counts, kCountsLimit));
    setLearned(lastN(learned, kLearnedLimit));
    setTrial(lastN(trial, kTrialLimit));
}

void WordSuggestionStore::save() {
    QJsonArray pending, dismissed, counts, learned, trial;
    for (const auto& i : m_pending)
        pending.append(encode(i));
    for (const auto& s : m_dismissed)
        dismissed.append(s);
    for (const auto& c : m_counts)
        counts.append(encode(c));
    for (const auto& i : m_learned)
        learned.append(encode(i));
    for (const auto& i : m_trial)
        trial.append(encode(i));
    const QJsonObject root{{QStringLiteral("pending"), pending}, {QStringLiteral("dismissed"), dismissed}, {QStringLiteral("counts"), counts},
                           {QStringLiteral("learned"), learned}, {QStringLiteral("trial"), trial}};
    QString error;
    if (!writeFileAtomically(m_path, QJsonDocument(root).toJson(QJsonDocument::Compact), &error))
        qCCritical(Log::app()).noquote() << QStringLiteral("新词建议保存失败：%1").arg(error);
}

WordSuggestionStore::ObserveResult WordSuggestionStore::observe(const EditLearner::Suggestion& s, int threshold) {
    if (m_dismissed.contains(s.entry))
        return ObserveResult::ignored;
    const qint64 t = now();
    if (s.trial) {
        auto trial = without(m_trial, s.entry);
        trial.append({s.wrong, s.right, s.entry, t});
        setTrial(lastN(trial, kTrialLimit));
        save();
        return ObserveResult::trial;
    }
    qint64 c = 0;
    QList<Count> counts;
    for (const Count& x : m_counts) {
        if (x.from == s.wrong && x.to == s.right) {
            if (c == 0)
                c = x.count;
            continue;
        }
        counts.append(x);
    }
    const qint64 n = c + 1;
    ObserveResult result;
    if (n < threshold) {
        counts.append({s.wrong, s.right, s.entry, n, t});
        setCounts(lastN(counts, kCountsLimit));
        result = ObserveResult::counted;
    } else {
        setCounts(counts);
        auto learned = without(m_learned, s.entry);
        learned.append({s.wrong, s.right, s.entry, t});
        setLearned(lastN(learned, kLearnedLimit));
        setPending(without(m_pending, s.entry));
        result = ObserveResult::learned;
    }
    save();
    return result;
}

std::pair<QString, QList<WordSuggestionStore::Item>> WordSuggestionStore::applyTrial(const QString& input) const {
    QString text = input;
    QList<Item> hits;
    for (auto it = m_trial.crbegin(); it != m_trial.crend(); ++it) {
        if (it->from.isEmpty() || !text.contains(it->from))
            continue;
        const QString next = PersonalDictionary::replaceExact(it->from, it->to, text);
        if (next != text) {
            text = next;
            hits.append(*it);
        }
    }
    return {text, hits};
}

void WordSuggestionStore::appendDismissed(const QString& entry) {
    QStringList d = m_dismissed;
    if (!d.contains(entry))
        d.append(entry);
    setDismissed(lastN(d, kDismissedLimit));
}

void WordSuggestionStore::undoTrial(const QStringList& entries) {
    if (entries.isEmpty())
        return;
    const QSet<QString> set(entries.begin(), entries.end());
    QList<Item> trial;
    for (const Item& i : m_trial)
        if (!set.contains(i.entry))
            trial.append(i);
    setTrial(trial);
    for (const QString& e : entries)
        appendDismissed(e);
    save();
}

std::optional<WordSuggestionStore::Item> WordSuggestionStore::take(const QString& entry) {
    const auto it = std::find_if(m_pending.cbegin(), m_pending.cend(), [&](const Item& i) { return i.entry == entry; });
    if (it == m_pending.cend())
        return std::nullopt;
    const Item found = *it;
    setPending(without(m_pending, entry));
    save();
    return found;
}

void WordSuggestionStore::dismiss(const QString& entry) {
    setPending(without(m_pending, entry));
    appendDismissed(entry);
    save();
}

void WordSuggestionStore::forget(const QString& entry) {
    setTrial(without(m_trial, entry));
    setLearned(without(m_learned, entry));
    setCounts(without(m_counts, entry));
    setPending(without(m_pending, entry));
    appendDismissed(entry);
    save();
}

void WordSuggestionStore::forgetRemoved(const QStringList& previous, const QStringList& current) {
    QSet<QString> before, now;
    for (const QString& e : previous)
        before.insert(e.toLower());
    for (const QString& e : current)
        now.insert(e.toLower());
    const QList<Item> learned = m_learned;
    for (const Item& i : learned) {
        const QString key = i.entry.toLower();
        if (before.contains(key) && !now.contains(key))
            forget(i.entry);
    }
}

void WordSuggestionStore::setPending(QList<Item> v) {
    if (v == m_pending)
        return;
    m_pending = std::move(v);
    Q_EMIT pendingChanged();
}

void WordSuggestionStore::setDismissed(QStringList v) {
    if (v == m_dismissed)
        return;
    m_dismissed = std::move(v);
    Q_EMIT dismissedChanged();
}

void WordSuggestionStore::setCounts(QList<Count> v) {
    if (v == m_counts)
        return;
    m_counts = std::move(v);
    Q_EMIT countsChanged();
}

void WordSuggestionStore::setLearned(QList<Item> v) {
    if (v == m_learned)
        return;
    m_learned = std::move(v);
    Q_EMIT learnedChanged();
}

void WordSuggestionStore::setTrial(QList<Item> v) {
    if (v == m_trial)
        return;
    m_trial = std::move(v);
    Q_EMIT trialChanged();
}

} // namespace zelk
