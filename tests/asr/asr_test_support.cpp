#include "asr_test_support.h"

#include "support/test_env.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <cstring>
#include <random>

namespace zelk::test {

namespace {

QString buildDir() {
    const QString dir = qEnvironmentVariable("ZELK_BUILD_DIR");
    return dir.isEmpty() ? QDir::currentPath() : dir;
}

bool runQuietly(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

QString syntheticModelsDir() {
    const QString script = sourceDir() + QStringLiteral("/tools/gen-test-models.py");
    QFile source(script);
    if (!source.open(QIODevice::ReadOnly))
        return {};
    // Named after the generator's content: a changed generator gets a new tree,
    // and a tree in use is never replaced under a parallel test.
    const QString target = buildDir() + QStringLiteral("/test-models-") +
                           QString::fromLatin1(QCryptographicHash::hash(source.readAll(), QCryptographicHash::Sha1).toHex().left(12));
    if (QFileInfo::exists(target + QStringLiteral("/streaming/tokens.txt")))
        return target;
    QTemporaryDir fresh(buildDir() + QStringLiteral("/test-models.tmp-XXXXXX"));
    if (!runQuietly(QStringLiteral("/usr/bin/python3"), {script, fresh.path()}))
        return {};
    if (QDir().rename(fresh.path(), target))
        fresh.setAutoRemove(false);
    return target; // made by us or by a parallel test
}

QString syntheticModel(const QString& name) { return syntheticModelsDir() + QLatin1Char('/') + name; }

QString zelkExecutable() { return buildDir() + QStringLiteral("/zelk"); }

ModelRoot::ModelRoot() : m_old(qgetenv("ZELK_MODEL_DIR")) { qputenv("ZELK_MODEL_DIR", m_dir.path().toUtf8()); }

ModelRoot::~ModelRoot() {
    if (m_old.isNull())
        qunsetenv("ZELK_MODEL_DIR");
    else
        qputenv("ZELK_MODEL_DIR", m_old);
}

void ModelRoot::install(const QString& name, const QString& source) {
    QFile::link(source, QDir(m_dir.path()).filePath(name));
}

std::vector<float> silence(double seconds) { return std::vector<float>(std::size_t(seconds * 16000), 0.0f); }

std::vector<float> noise(double seconds, float amplitude, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-amplitude, amplitude);
    std::vector<float> out(std::size_t(seconds * 16000));
    for (float& s : out)
        s = dist(rng);
    return out;
}

std::vector<float> concat(std::initializer_list<std::vector<float>> parts) {
    std::vector<float> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::vector<float> speech(const QString& text) {
    if (QStandardPaths::findExecutable(QStringLiteral("espeak-ng")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("sox")).isEmpty())
        return {};
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("speech.wav"));
    const QString raw = dir.filePath(QStringLiteral("speech.f32"));
    if (!runQuietly(QStringLiteral("espeak-ng"), {QStringLiteral("-v"), QStringLiteral("en"), QStringLiteral("-w"), wav, text}))
        return {};
    if (!runQuietly(QStringLiteral("sox"), {wav, QStringLiteral("-t"), QStringLiteral("raw"), QStringLiteral("-r"),
                                            QStringLiteral("16000"), QStringLiteral("-c"), QStringLiteral("1"),
                                            QStringLiteral("-e"), QStringLiteral("floating-point"), QStringLiteral("-b"),
                                            QStringLiteral("32"), raw}))
        return {};
    QFile file(raw);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    std::vector<float> out(std::size_t(bytes.size()) / sizeof(float));
    std::memcpy(out.data(), bytes.constData(), out.size() * sizeof(float));
    return out;
}

} // namespace zelk::test
