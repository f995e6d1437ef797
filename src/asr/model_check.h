#pragma once

#include "asr/asr_error.h"
#include "core/clock.h"
#include "core/task.h"

#include <QString>

#include <chrono>
#include <map>

namespace zelk {

// Some malformed models make the recognition library exit or abort the whole
// process. Before a model directory is first loaded in-process, ModelCheck
// loads it in a short-lived child process of our own executable
// (`<exe> __check-model DIR KIND`) that builds the recogniser and decodes half a
// second of silence. Passing verdicts are remembered per directory content
// (file names, sizes, modification times) across launches, so the check runs
// once per install; failures of the model itself (not a time-out) are
// remembered for the life of the process.
class ModelCheck {
public:
    // The word for the streaming recogniser; offline kinds use familyName().
    static inline const QString streamingKind = QStringLiteral("streaming");

    // `executable` empty = defaultExecutable().
    explicit ModelCheck(QString executable = {}, Clock& clock = Clock::shared(),
                        Duration timeLimit = std::chrono::seconds(60));

    // Resolves when the directory passed; throws ASRError otherwise: the
    // child's own modelNotFound/createFailed, or createFailed for a crash, an
    // unexpected exit status or a time-out.
    Task<void> verify(QString dir, QString kind);

    // This program when it is zelk; otherwise (a test or benchmark) the first
    // `zelk` found in its folder or a folder above.
    static QString defaultExecutable();

    // How many child processes this object started (for tests and logs).
    int checksRun() const { return m_checksRun; }

    // Content key of a directory: relative names, sizes and modification times
    // of every file in it, recursively.
    static QByteArray fingerprint(const QString& dir);

    // File of remembered passes.
    static QString verdictFile();

    // The child's side: builds and exercises the engine, answers the exit code
    // (0 passed, 3 model file missing, 4 engine refused) and prints the failure
    // payload on stdout.
    static int runInThisProcess(const QString& dir, const QString& kind);

    static constexpr int exitModelNotFound = 3;
    static constexpr int exitCreateFailed = 4;

private:
    QByteArray verdictKey(const QString& dir, const QString& kind) const;
    bool rememberedPass(const QByteArray& key) const;
    void rememberPass(const QByteArray& key);

    QString m_executable;
    Clock& m_clock;
    Duration m_timeLimit;
    std::map<QByteArray, ASRError> m_failures;
    int m_checksRun = 0;
};

} // namespace zelk
