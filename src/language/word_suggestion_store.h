#pragma once

#include "language/edit_learner.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <utility>

namespace zelk {

class Clock;

// What has been learned from the user's corrections: counted observations,
// learned dictionary entries, corrections on trial, suggestions awaiting review
// and entries the user rejected. Main thread only; saved as one JSON file after
// every change. It never touches the dictionary: callers act on its answers.
class WordSuggestionStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(QStringList dismissed READ dismissed NOTIFY dismissedChanged)

public:
    struct Item {
        QString from;
        QString to;
        QString entry;
        qint64 time = 0;
        bool operator==(const Item&) const = default;
    };
    struct Count {
        QString from;
        QString to;
        QString entry;
        qint64 count = 0;
        qint64 time = 0;
        bool operator==(const Count&) const = default;
    };
    enum class ObserveResult { learned, trial, counted, ignored };

    // An empty path means word_suggestions.json beside the dictionary. Loads the file.
    explicit WordSuggestionStore(const QString& path = {}, Clock* clock = nullptr, QObject* parent = nullptr);

    QString path() const { return m_path; }
    const QList<Item>& pending() const { return m_pending; }
    QStringList dismissed() const { return m_dismissed; }
    const QList<Count>& counts() const { return m_counts; }
    const QList<Item>& learned() const { return m_learned; }
    const QList<Item>& trial() const { return m_trial; }

    ObserveResult observe(const EditLearner::Suggestion& suggestion, int threshold);
    // Applies the trial corrections, newest first; answers the text and the items that changed it.
    std::pair<QString, QList<Item>> applyTrial(const QString& text) const;
    void undoTrial(const QStringList& entries);
    std::optional<Item> take(const QString& entry);
    void dismiss(const QString& entry);
    void forget(const QString& entry);
    void forgetRemoved(const QStringList& previous, const QStringList& current);
    void save();

    static QString defaultPath();
    static QString observeResultName(ObserveResult r);

Q_SIGNALS:
    void pendingChanged();
    void dismissedChanged();
    void countsChanged();
    void learnedChanged();
    void trialChanged();

private:
    void load();
    qint64 now() const;
    void appendDismissed(const QString& entry);
    void setPending(QList<Item> v);
    void setDismissed(QStringList v);
    void setCounts(QList<Count> v);
    void setLearned(QList<Item> v);
    void setTrial(QList<Item> v);

    QString m_path;
    Clock* m_clock;
    QList<Item> m_pending;
    QStringList m_dismissed;
    QList<Count> m_counts;
    QList<Item> m_learned;
    QList<Item> m_trial;
};

} // namespace zelk
