#pragma once

#include "polish_test_support.h"

#include "core/folders.h"
#include "polish/local_polish_engine.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <signal.h>

namespace zelk::test {

class RecordedPressure final : public MemoryPressureWatch {
public:
    explicit RecordedPressure(int* live) : m_live(live) { ++*m_live; }
    ~RecordedPressure() override { --*m_live; }

private:
    int* m_live;
};

// A local engine on a virtual clock whose helper is a scripted Python program.
class EngineHarness {
public:
    explicit EngineHarness(Clock& clock) : clock(clock) { QDir().mkpath(root()); }
    ~EngineHarness() { engine.reset(); }

    QString root() const { return folders::llmCache(); }
    QString logPath() const { return root() + QStringLiteral("/helper.log"); }

    void installRuntime() {
        QDir().mkpath(root() + QStringLiteral("/venv/bin"));
        QFile::link(QStringLiteral("/usr/bin/python3"), root() + QStringLiteral("/venv/bin/python3"));
    }
    void installModel() {
        QDir().mkpath(root() + QStringLiteral("/gemma-4-e2b-it-4bit"));
        QFile f(root() + QStringLiteral("/gemma-4-e2b-it-4bit/config.json"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QString fakeHelper(const char* mode) {
        QFile body(sourceDir() + QStringLiteral("/tests/polish/fake_helper.py"));
        EXPECT_TRUE(body.open(QIODevice::ReadOnly));
        const QString path = root() + QStringLiteral("/fake_helper.py");
        QFile script(path);
        EXPECT_TRUE(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
        script.write("MODE = \"" + QByteArray(mode) + "\"\nLOG = \"" + logPath().toUtf8() + "\"\n" + body.readAll());
        return path;
    }

    void start(const char* mode, quint64 memory = 32ULL << 30) { startWith(fakeHelper(mode), memory); }
    void startWith(const QString& helper, quint64 memory = 32ULL << 30) {
        LocalPolishEngine::Environment env;
        env.clock = &clock;
        env.physicalMemory = memory;
        env.root = root();
        env.helperScript = helper;
        env.runtimeInstallable = runtimeInstallable;
        env.runtimeBytes = 1'000'000;
        env.installRuntime = installRuntimeStep;
        env.memoryPressure = [this](std::function<void()> cb) -> std::unique_ptr<MemoryPressureWatch> {
            pressure = std::move(cb);
            return std::make_unique<RecordedPressure>(&liveWatches);
        };
        env.region = [] { return DownloadMirror::Region::domestic; };
        engine = std::make_unique<LocalPolishEngine>(env);
    }

    std::optional<QString> polish(const QString& text, const QString& tone = QStringLiteral("natural"),
                                  std::optional<QString> toneText = std::nullopt) {
        auto call = startPolish(text, tone, toneText);
        EXPECT_TRUE(call.wait(10'000));
        return call.done() ? call.value() : std::nullopt;
    }
    Launched<std::optional<QString>> startPolish(const QString& text, const QString& tone = QStringLiteral("natural"),
                                                 std::optional<QString> toneText = std::nullopt) {
        return Launched<std::optional<QString>>(engine->polish(
            text, tone, toneText, [this](const QString& d) { deltas.append(d); }));
    }

    // What the helpers received, in order (pids are left out).
    QList<QJsonObject> received() const {
        QList<QJsonObject> out;
        QFile f(logPath());
        if (!f.open(QIODevice::ReadOnly))
            return out;
        for (const QByteArray& line : f.readAll().split('\n')) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            if (!o.isEmpty() && !o.contains("pid"))
                out.append(o);
        }
        return out;
    }
    QList<qint64> pids() const {
        QList<qint64> out;
        QFile f(logPath());
        if (f.open(QIODevice::ReadOnly))
            for (const QByteArray& line : f.readAll().split('\n'))
                if (const QJsonObject o = QJsonDocument::fromJson(line).object(); o.contains("pid"))
                    out.append(o.value("pid").toInteger());
        return out;
    }
    int commandCount(const char* cmd) const {
        int n = 0;
        for (const auto& o : received())
            n += o.value("cmd").toString() == QLatin1String(cmd) ? 1 : 0;
        return n;
    }
    static bool alive(qint64 pid) { return ::kill(pid_t(pid), 0) == 0 && !isZombie(pid); }
    static bool isZombie(qint64 pid) {
        QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!f.open(QIODevice::ReadOnly))
            return true;
        const QByteArray stat = f.readAll();
        return stat.mid(stat.lastIndexOf(')') + 2, 1) == "Z";
    }

    Clock& clock;
    std::unique_ptr<LocalPolishEngine> engine;
    std::function<void()> pressure;
    int liveWatches = 0;
    bool runtimeInstallable = true;
    LocalPolishEngine::InstallRuntime installRuntimeStep;
    QStringList deltas;
};

} // namespace zelk::test
