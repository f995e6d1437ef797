#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <mutex>

namespace zelk::test {

// Collects log lines (from any thread) while alive.
class LogCapture {
public:
    LogCapture() {
        instance() = this;
        m_previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
            if (LogCapture* self = instance()) {
                std::lock_guard lock(self->m_mutex);
                self->m_lines.append((type == QtCriticalMsg ? QStringLiteral("error: ") : QString()) + msg);
            }
        });
    }
    ~LogCapture() {
        qInstallMessageHandler(m_previous);
        instance() = nullptr;
    }
    QStringList lines() const {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }
    int count(const QString& line) const { return int(lines().count(line)); }

private:
    static LogCapture*& instance() {
        static LogCapture* current = nullptr;
        return current;
    }
    mutable std::mutex m_mutex;
    QStringList m_lines;
    QtMessageHandler m_previous = nullptr;
};

} // namespace zelk::test
