#include "polish/memory_pressure.h"

#include "core/log.h"

#include <QFile>
#include <QPointer>
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

namespace zelk {

namespace {

class PsiWatch final : public MemoryPressureWatch {
public:
    PsiWatch(int fd, std::function<void()> onPressure) : m_fd(fd), m_notifier(fd, QSocketNotifier::Exception) {
        QObject::connect(&m_notifier, &QSocketNotifier::activated, [cb = std::move(onPressure)] { cb(); });
    }
    ~PsiWatch() override {
        m_notifier.setEnabled(false);
        ::close(m_fd);
    }

private:
    int m_fd;
    QSocketNotifier m_notifier;
};

class MeminfoWatch final : public MemoryPressureWatch {
public:
    MeminfoWatch(Clock& clock, std::function<void()> onPressure) {
        m_task = spawn([&clock, cb = std::move(onPressure)](CancellationToken token) -> Task<void> {
            while (co_await clock.sleep(std::chrono::seconds(5), token)) {
                QFile file(QStringLiteral("/proc/meminfo"));
                if (file.open(QIODevice::ReadOnly) && meminfoShowsPressure(file.readAll()))
                    cb();
            }
        });
    }
    ~MeminfoWatch() override { m_task.cancel(); }

private:
    TaskHandle m_task;
};

int openPsiTrigger() {
    const int fd = ::open("/proc/pressure/memory", O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    const char trigger[] = "some 150000 2000000";
    if (::write(fd, trigger, std::strlen(trigger) + 1) < 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

bool meminfoShowsPressure(const QByteArray& meminfo) {
    qint64 total = -1, available = -1;
    for (const QByteArray& line : meminfo.split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() < 2)
            continue;
        if (parts[0] == "MemTotal:")
            total = parts[1].toLongLong();
        else if (parts[0] == "MemAvailable:")
            available = parts[1].toLongLong();
    }
    if (total <= 0 || available < 0)
        return false;
    return available * 20 < total;
}

MemoryPressureFactory linuxMemoryPressure(Clock& clock) {
    return [&clock](std::function<void()> onPressure) -> std::unique_ptr<MemoryPressureWatch> {
        if (const int fd = openPsiTrigger(); fd >= 0)
            return std::make_unique<PsiWatch>(fd, std::move(onPressure));
        qCDebug(Log::app) << "内存压力监视改用 /proc/meminfo 轮询";
        return std::make_unique<MeminfoWatch>(clock, std::move(onPressure));
    };
}

} // namespace zelk
