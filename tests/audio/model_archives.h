#pragma once

#include "asr/model_locator.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

namespace zelk::test {

// Archives made once: a model folder with a tokens file and incompressible payload,
// so sizes cross the 2 MiB flush boundary.
struct Archives {
    QTemporaryDir dir;
    QHash<QString, QByteArray> bytes;

    static QByteArray make(const QString& root, const QString& topDir, int payloadBytes) {
        const QString folder = root + "/src/" + topDir;
        QDir().mkpath(folder);
        QFile tokens(folder + "/tokens.txt");
        tokens.open(QIODevice::WriteOnly);
        tokens.write("a 0\n");
        tokens.close();
        QByteArray payload(payloadBytes, '\0');
        auto* words = reinterpret_cast<quint32*>(payload.data());
        QRandomGenerator rng(42);
        rng.fillRange(words, std::size_t(payloadBytes) / 4);
        QFile blob(folder + "/encoder.int8.onnx");
        blob.open(QIODevice::WriteOnly);
        blob.write(payload);
        blob.close();
        const QString archive = root + "/" + topDir + ".tar.bz2";
        QProcess tar;
        tar.start("tar", {"cjf", archive, "-C", root + "/src", topDir});
        tar.waitForFinished(60000);
        QFile f(archive);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }

    static const Archives& get() {
        static const Archives* archives = [] {
            auto* a = new Archives;
            a->bytes[ModelLocator::streamingModelName] = make(a->dir.path(), ModelLocator::streamingModelName, 5 * 1024 * 1024);
            a->bytes[ModelLocator::qwen3ModelName] = make(a->dir.path(), ModelLocator::qwen3ModelName, 300 * 1024);
            a->bytes["other"] = make(a->dir.path(), "some-other-folder", 1000);
            return a;
        }();
        return *archives;
    }
};

} // namespace zelk::test
