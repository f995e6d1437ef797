#include "asr/asr_error.h"
#include "asr/model_check.h"
#include "asr_test_support.h"
#include "core/clock.h"
#include "core/sync_wait.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

using namespace zelk;
using namespace std::chrono_literals;

namespace {

// Answers the failure, or nothing when the directory passed.
std::optional<ASRError> verdict(ModelCheck& check, const QString& dir, const QString& kind) {
    try {
        syncWait(check.verify(dir, kind));
        return std::nullopt;
    } catch (const ASRError& e) {
        return e;
    }
}

struct CheckCase {
    const char* model;
    const char* kind;
    std::optional<ASRError::Case> expected;
    QString payloadPrefix;
};

void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.model << ' ' << c.kind; }

class ModelCheckVerdict : public ::testing::TestWithParam<CheckCase> {
protected:
    test::TestHome home;
};

// Every failure here would take down the process that loads the model; the
// check survives it and reports the error.
TEST_P(ModelCheckVerdict, ChildProcessJudgesTheModel) {
    ASSERT_TRUE(QFileInfo::exists(test::zelkExecutable())) << "build the zelk target first";
    ModelCheck check(test::zelkExecutable());
    const QString dir = test::syntheticModel(QString::fromLatin1(GetParam().model));
    const auto result = verdict(check, dir, QString::fromLatin1(GetParam().kind));
    EXPECT_EQ(check.checksRun(), 1);
    if (!GetParam().expected) {
        EXPECT_FALSE(result) << result->logDetail().toStdString();
        return;
    }
    ASSERT_TRUE(result);
    EXPECT_EQ(result->errorCase(), *GetParam().expected);
    EXPECT_TRUE(result->payload().startsWith(GetParam().payloadPrefix)) << result->logDetail().toStdString();
}

using C = ASRError::Case;
INSTANTIATE_TEST_SUITE_P(
    Models, ModelCheckVerdict,
    ::testing::Values(
        CheckCase{"streaming", "streaming", std::nullopt, {}},
        CheckCase{"offline-talking", "transducer", std::nullopt, {}},
        // Aborts from C, caught in the child's C++: the child's own createFailed.
        CheckCase{"broken-not-onnx", "streaming", C::createFailed, "OnlineRecognizer(broken-not-onnx)"},
        // Segmentation fault in the library (a sanitizer build exits with 1 instead).
        CheckCase{"broken-no-model-type", "streaming", C::createFailed, "OnlineRecognizer(broken-no-model-type): check "},
        // Loads, then every decode throws.
        CheckCase{"broken-bad-state", "streaming", C::createFailed, "OnlineRecognizer(broken-bad-state): decode failed"},
        // _Exit(-1) in the library.
        CheckCase{"broken-no-vocab", "transducer", C::createFailed,
                  "OfflineRecognizer(broken-no-vocab): check exited with status 255"},
        // A streaming directory read as a FireRed model lacks its files.
        CheckCase{"streaming", "fireRedCTC", C::modelNotFound, "streaming/model*.onnx"}));

TEST(ModelCheckExecutable, ATestProgramUsesTheZelkBuiltBesideItNotItself) {
    EXPECT_EQ(QFileInfo(ModelCheck::defaultExecutable()).canonicalFilePath(),
              QFileInfo(test::zelkExecutable()).canonicalFilePath());
}

TEST(ModelCheckMemory, PassRunsOncePerInstallAcrossLaunchesAndAgainAfterAChange) {
    test::TestHome home;
    QTemporaryDir copy;
    const QString src = test::syntheticModel(QStringLiteral("streaming"));
    for (const QString& f : QDir(src).entryList(QDir::Files))
        QFile::copy(QDir(src).filePath(f), copy.filePath(f));

    ModelCheck first(test::zelkExecutable());
    EXPECT_FALSE(verdict(first, copy.path(), ModelCheck::streamingKind));
    EXPECT_FALSE(verdict(first, copy.path(), ModelCheck::streamingKind));
    EXPECT_EQ(first.checksRun(), 1);

    ModelCheck relaunched(test::zelkExecutable()); // a later launch reads the remembered pass
    EXPECT_FALSE(verdict(relaunched, copy.path(), ModelCheck::streamingKind));
    EXPECT_EQ(relaunched.checksRun(), 0);

    // A reinstalled file (new size and time) is checked again.
    QFile tokens(copy.filePath(QStringLiteral("tokens.txt")));
    ASSERT_TRUE(tokens.open(QIODevice::Append));
    tokens.write("<extra> 5\n");
    tokens.close();
    EXPECT_FALSE(verdict(relaunched, copy.path(), ModelCheck::streamingKind));
    EXPECT_EQ(relaunched.checksRun(), 1);
}

TEST(ModelCheckMemory, FailureIsRememberedForTheProcess) {
    test::TestHome home;
    ModelCheck check(test::zelkExecutable());
    const QString dir = test::syntheticModel(QStringLiteral("broken-no-vocab"));
    const auto once = verdict(check, dir, QStringLiteral("transducer"));
    ASSERT_TRUE(once);
    EXPECT_EQ(verdict(check, dir, QStringLiteral("transducer")), once);
    EXPECT_EQ(check.checksRun(), 1);
    // Nothing was remembered on disk for a failure.
    ModelCheck relaunched(test::zelkExecutable());
    EXPECT_TRUE(verdict(relaunched, dir, QStringLiteral("transducer")));
    EXPECT_EQ(relaunched.checksRun(), 1);
}

TEST(ModelCheckTimeLimit, HangingChildIsKilledAndReportedAsCreateFailed) {
    test::TestHome home;
    QTemporaryDir bin;
    const QString script = bin.filePath(QStringLiteral("hang.sh"));
    QFile f(script);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\nexec sleep 60\n");
    f.close();
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    VirtualClock clock;
    ModelCheck check(script, clock, 30s);
    std::optional<ASRError> result;
    bool done = false;
    spawn([&](CancellationToken) -> Task<void> {
        try {
            co_await check.verify(test::syntheticModel(QStringLiteral("streaming")), ModelCheck::streamingKind);
        } catch (const ASRError& e) {
            result = e;
        }
        done = true;
    });
    EXPECT_FALSE(done);
    clock.advance(29s);
    QCoreApplication::processEvents();
    EXPECT_FALSE(done);
    clock.advance(1s);
    ASSERT_TRUE(test::waitUntil([&] { return done; }));
    EXPECT_EQ(result, ASRError::createFailed(QStringLiteral("OnlineRecognizer(streaming): check timed out")));

    // A time-out may be a busy moment, not a bad model: the next attempt checks again.
    done = false;
    spawn([&](CancellationToken) -> Task<void> {
        try {
            co_await check.verify(test::syntheticModel(QStringLiteral("streaming")), ModelCheck::streamingKind);
        } catch (const ASRError&) {
        }
        done = true;
    });
    EXPECT_EQ(check.checksRun(), 2);
    clock.advance(30s);
    EXPECT_TRUE(test::waitUntil([&] { return done; }));
}

TEST(ModelCheckTimeLimit, ExecutableThatCannotStartIsCreateFailed) {
    test::TestHome home;
    ModelCheck missing(QStringLiteral("/nonexistent/zelk"));
    const auto result = verdict(missing, test::syntheticModel(QStringLiteral("streaming")), ModelCheck::streamingKind);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->errorCase(), ASRError::Case::createFailed);
}

} // namespace
