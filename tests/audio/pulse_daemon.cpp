#include "audio/pulse_daemon.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QThread>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zelk::test {

namespace {
QByteArray run(const QString& program, const QStringList& args, bool* ok) {
    QProcess p;
    p.start(program, args);
    const bool finished = p.waitForFinished(10000);
    if (ok)
        *ok = finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return p.readAllStandardOutput();
}
} // namespace

PulseDaemon::PulseDaemon() {
    if (QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("pactl")).isEmpty()) {
        m_failure = QStringLiteral("pulseaudio or pactl is not installed");
        return;
    }
    const QString root = m_dir.path();
    QDir().mkpath(root + "/home");
    QDir().mkpath(root + "/run");
    ::chmod(QFile::encodeName(root + "/run").constData(), 0700);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", root + "/home");
    env.insert("XDG_RUNTIME_DIR", root + "/run");
    env.insert("XDG_CONFIG_HOME", root + "/home/.config");
    env.remove("PULSE_SERVER");
    // Off any session bus (also the one X11 would autolaunch): two daemons on one
    // bus fight over the org.PulseAudio1 name and the second exits.
    env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + root + "/no-bus");
    env.remove("DISPLAY");
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.start(QStringLiteral("pulseaudio"),
                    {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "--log-level=error",
                     "--load=module-native-protocol-unix auth-anonymous=1 socket=" + root + "/native",
                     "--load=module-null-sink sink_name=speaker",
                     "--load=module-pipe-source source_name=testmic file=" + micFifo() +
                         " format=s16le rate=48000 channels=1"});
    if (!m_process.waitForStarted(5000)) {
        m_failure = QStringLiteral("pulseaudio did not start: ") + m_process.errorString();
        return;
    }
    for (int i = 0; i < 100; ++i) {
        if (pactl({"list", "sources", "short"}).contains("testmic")) {
            pactl({"set-default-source", "testmic"});
            return;
        }
        if (m_process.state() == QProcess::NotRunning)
            break;
        QThread::msleep(50);
    }
    m_failure = QStringLiteral("pulseaudio did not come up with the test microphone");
}

PulseDaemon::~PulseDaemon() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    if (m_suspended)
        resume();
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

QString PulseDaemon::server() const { return QStringLiteral("unix:") + m_dir.path() + QStringLiteral("/native"); }

QString PulseDaemon::micFifo() const { return m_dir.path() + QStringLiteral("/mic.fifo"); }

QByteArray PulseDaemon::pactl(const QStringList& args, bool* ok) const {
    return run(QStringLiteral("pactl"), QStringList{"-s", server()} + args, ok);
}

bool PulseDaemon::feed(const QByteArray& s16le) const {
    // The source holds the FIFO open for reading, so this open does not wait.
    const int fd = ::open(QFile::encodeName(micFifo()).constData(), O_WRONLY);
    if (fd < 0)
        return false;
    qsizetype written = 0;
    while (written < s16le.size()) {
        const ssize_t n = ::write(fd, s16le.constData() + written, size_t(s16le.size() - written));
        if (n <= 0)
            break;
        written += n;
    }
    ::close(fd);
    return written == s16le.size();
}

void PulseDaemon::suspend() {
    ::kill(pid_t(m_process.processId()), SIGSTOP);
    m_suspended = true;
}

void PulseDaemon::resume() {
    ::kill(pid_t(m_process.processId()), SIGCONT);
    m_suspended = false;
}

const SpeechSample& SpeechSample::get() {
    static const SpeechSample sample = [] {
        SpeechSample s;
        if (QStandardPaths::findExecutable(QStringLiteral("espeak-ng")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("sox")).isEmpty())
            return s;
        QTemporaryDir dir;
        const QString wav = dir.filePath("speech.wav");
        bool ok = false;
        run(QStringLiteral("espeak-ng"), {"-v", "en", "-s", "170", "-w", wav, "Testing the microphone, one two three."},
            &ok);
        if (!ok)
            return s;
        s.pcm48k = run(QStringLiteral("sox"), {wav, "-t", "raw", "-e", "signed", "-b", "16", "-c", "1", "-r", "48000", "-"},
                       &ok);
        if (!ok)
            return SpeechSample{};
        const QByteArray f32 =
            run(QStringLiteral("sox"), {wav, "-t", "raw", "-e", "floating-point", "-b", "32", "-c", "1", "-r", "16000", "-"},
                &ok);
        if (!ok)
            return SpeechSample{};
        s.reference16k.resize(std::size_t(f32.size()) / sizeof(float));
        std::memcpy(s.reference16k.data(), f32.constData(), s.reference16k.size() * sizeof(float));
        return s;
    }();
    return sample;
}

} // namespace zelk::test
