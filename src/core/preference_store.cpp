#include "core/preference_store.h"

#include "core/atomic_file.h"
#include "core/log.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>

#include <cmath>
#include <sys/stat.h>

namespace zelk {

namespace {
const QString kDateTag = QStringLiteral("$date");

// Identity of the file on disk; a change means someone else wrote it.
QByteArray stampOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QByteArray("absent");
    return QByteArray::number(qulonglong(st.st_ino)) + ':' + QByteArray::number(qlonglong(st.st_size)) + ':' +
           QByteArray::number(qlonglong(st.st_mtim.tv_sec)) + '.' + QByteArray::number(qlonglong(st.st_mtim.tv_nsec));
}
} // namespace

PreferenceStore::PreferenceStore(QString filePath, QObject* parent) : QObject(parent), m_path(std::move(filePath)) {
    std::lock_guard lock(m_mutex);
    loadLocked();
}

void PreferenceStore::loadLocked() const {
    m_values = {};
    m_fileStamp = stampOf(m_path);
    QFile file(m_path);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        qCCritical(Log::app) << "无法读取偏好设置:" << m_path << file.errorString();
        return;
    }
    const QByteArray bytes = file.readAll();
    file.close();
    QJsonParseError error{};
    const auto doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error == QJsonParseError::NoError && doc.isObject()) {
        m_values = doc.object();
        return;
    }
    // Keep the user's file before anything can be written over it.
    m_preserved = preserveUnreadableFile(m_path);
    m_fileStamp = stampOf(m_path);
    qCCritical(Log::app) << "偏好设置文件无法解析，已另存并使用默认值:" << m_path
                         << (m_preserved ? *m_preserved : QStringLiteral("(未能另存)"));
}

void PreferenceStore::reloadIfChangedLocked() const {
    if (stampOf(m_path) != m_fileStamp)
        loadLocked();
}

void PreferenceStore::saveLocked() {
    QString error;
    const QByteArray bytes = QJsonDocument(m_values).toJson(QJsonDocument::Indented);
    if (!writeFileAtomically(m_path, bytes, &error))
        qCCritical(Log::app) << "偏好设置写入失败:" << error;
    m_fileStamp = stampOf(m_path);
}

std::optional<QJsonValue> PreferenceStore::value(const QString& key) const {
    std::lock_guard lock(m_mutex);
    reloadIfChangedLocked();
    const auto it = m_values.constFind(key);
    if (it == m_values.constEnd() || it->isNull() || it->isUndefined())
        return std::nullopt;
    return *it;
}

void PreferenceStore::setValue(const QString& key, const QJsonValue& value) {
    {
        std::lock_guard lock(m_mutex);
        reloadIfChangedLocked();
        if (m_values.value(key) == value && m_values.contains(key))
            return;
        m_values.insert(key, value);
        saveLocked();
    }
    Q_EMIT changed(key);
}

void PreferenceStore::remove(const QString& key) {
    {
        std::lock_guard lock(m_mutex);
        reloadIfChangedLocked();
        if (!m_values.contains(key))
            return;
        m_values.remove(key);
        saveLocked();
    }
    Q_EMIT changed(key);
}

QJsonObject PreferenceStore::snapshot() const {
    std::lock_guard lock(m_mutex);
    reloadIfChangedLocked();
    return m_values;
}

namespace {
// The stored value when it has JSON type `type`, converted by `convert`.
template <typename Convert>
auto ofType(const std::optional<QJsonValue>& v, QJsonValue::Type type, Convert convert)
    -> std::optional<decltype(convert(*v))> {
    if (!v || v->type() != type)
        return std::nullopt;
    return convert(*v);
}
} // namespace

std::optional<QString> PreferenceStore::string(const QString& key) const {
    return ofType(value(key), QJsonValue::String, [](const QJsonValue& v) { return v.toString(); });
}

std::optional<bool> PreferenceStore::boolean(const QString& key) const {
    return ofType(value(key), QJsonValue::Bool, [](const QJsonValue& v) { return v.toBool(); });
}

std::optional<qint64> PreferenceStore::integer(const QString& key) const {
    const auto d = number(key);
    if (!d || !std::isfinite(*d) || *d != std::floor(*d) || std::fabs(*d) > 9.0e15)
        return std::nullopt;
    return qint64(*d);
}

std::optional<double> PreferenceStore::number(const QString& key) const {
    return ofType(value(key), QJsonValue::Double, [](const QJsonValue& v) { return v.toDouble(); });
}

std::optional<QJsonArray> PreferenceStore::array(const QString& key) const {
    return ofType(value(key), QJsonValue::Array, [](const QJsonValue& v) { return v.toArray(); });
}

std::optional<QJsonObject> PreferenceStore::object(const QString& key) const {
    return ofType(value(key), QJsonValue::Object, [](const QJsonValue& v) { return v.toObject(); });
}

std::optional<QDateTime> PreferenceStore::date(const QString& key) const {
    const auto o = object(key);
    if (!o || o->size() != 1 || !o->value(kDateTag).isDouble())
        return std::nullopt;
    const double seconds = o->value(kDateTag).toDouble();
    if (!std::isfinite(seconds))
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(qint64(std::llround(seconds * 1000.0)), Qt::UTC);
}

void PreferenceStore::setDate(const QString& key, const QDateTime& value) {
    setValue(key, QJsonObject{{kDateTag, double(value.toMSecsSinceEpoch()) / 1000.0}});
}

std::optional<QString> PreferenceStore::preservedCorruptFile() const {
    std::lock_guard lock(m_mutex);
    return m_preserved;
}

} // namespace zelk
