#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QObject>
#include <QString>
#include <QStringList>

#include <mutex>
#include <optional>

namespace zelk {

// The per-user key–value preference store: one JSON object in one file, written
// atomically on every change. JSON types keep their meaning, so a number stored
// as text does not read as a number. A date is stored as {"$date": seconds since
// 1970}. Another process's edit of the file is picked up at the next read.
// Safe from any thread; `changed` is emitted on the writing thread.
class PreferenceStore : public QObject {
    Q_OBJECT
public:
    // An unreadable file is moved aside (name.corrupt-<time>) and the store starts empty.
    explicit PreferenceStore(QString filePath, QObject* parent = nullptr);

    QString filePath() const { return m_path; }

    std::optional<QJsonValue> value(const QString& key) const;
    bool contains(const QString& key) const { return value(key).has_value(); }
    void setValue(const QString& key, const QJsonValue& value);
    void remove(const QString& key);
    QJsonObject snapshot() const;

    // Typed reads: nothing when the key is absent or holds another type.
    std::optional<QString> string(const QString& key) const;
    std::optional<bool> boolean(const QString& key) const;
    // A JSON number without a fractional part.
    std::optional<qint64> integer(const QString& key) const;
    std::optional<double> number(const QString& key) const;
    std::optional<QJsonArray> array(const QString& key) const;
    std::optional<QJsonObject> object(const QString& key) const;
    std::optional<QDateTime> date(const QString& key) const;
    void setDate(const QString& key, const QDateTime& value);

    // The path of the preserved copy when the file could not be read at start.
    std::optional<QString> preservedCorruptFile() const;

Q_SIGNALS:
    void changed(const QString& key);

private:
    void reloadIfChangedLocked() const;
    void loadLocked() const;
    void saveLocked();

    QString m_path;
    mutable std::mutex m_mutex;
    mutable QJsonObject m_values;
    mutable QByteArray m_fileStamp;
    mutable std::optional<QString> m_preserved;
};

} // namespace zelk
