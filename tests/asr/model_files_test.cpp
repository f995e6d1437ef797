#include "asr/asr_error.h"
#include "asr/model_locator.h"
#include "asr/sherpa_config.h"
#include "asr/sherpa_model_file.h"
#include "core/text.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstring>

using namespace zelk;

namespace {

void touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    f.open(QIODevice::WriteOnly);
}

struct FindCase {
    QStringList files;
    QString expected; // file name, or the modelNotFound payload when `missing`
    bool missing = false;
};

void PrintTo(const FindCase& c, std::ostream* os) { *os << c.files.join(QLatin1Char(' ')).toStdString(); }

class ModelFileFind : public ::testing::TestWithParam<FindCase> {};

TEST_P(ModelFileFind, PicksTheInt8VariantFirstInTextOrder) {
    QTemporaryDir root;
    const QString dir = root.filePath(QStringLiteral("model-x"));
    QDir().mkpath(dir);
    for (const QString& f : GetParam().files)
        touch(QDir(dir).filePath(f));
    if (GetParam().missing) {
        try {
            SherpaModelFile::find(dir, QStringLiteral("encoder"), QStringLiteral(".onnx"));
            FAIL() << "expected modelNotFound";
        } catch (const ASRError& e) {
            EXPECT_EQ(e, ASRError::modelNotFound(GetParam().expected));
        }
    } else {
        EXPECT_EQ(SherpaModelFile::find(dir + QLatin1Char('/'), QStringLiteral("encoder"), QStringLiteral(".onnx")),
                  QDir(dir).filePath(GetParam().expected));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ModelFileFind,
    ::testing::Values(
        FindCase{{"encoder-epoch-99.onnx", "encoder-epoch-99.int8.onnx", "decoder.onnx"}, "encoder-epoch-99.int8.onnx"},
        FindCase{{"encoder.onnx", "joiner.onnx"}, "encoder.onnx"},
        FindCase{{"encoder-b.onnx", "encoder-a.onnx"}, "encoder-a.onnx"},
        FindCase{{"encoder-b.int8.onnx", "encoder-a.int8.onnx", "encoder.onnx"}, "encoder-a.int8.onnx"},
        FindCase{{"encoder.onnx.part", "decoder.onnx", "my-encoder.onnx"}, "model-x/encoder*.onnx", true},
        FindCase{{}, "model-x/encoder*.onnx", true}));

TEST(ModelFileFind, MissingDirectoryIsModelNotFound) {
    EXPECT_THROW(SherpaModelFile::find(QStringLiteral("/nonexistent/m"), QStringLiteral("encoder"), QStringLiteral(".onnx")),
                 ASRError);
}

TEST(ASRErrorText, UserMessageAndLogForm) {
    const auto missing = ASRError::modelNotFound(QStringLiteral("m/encoder*.onnx"));
    EXPECT_EQ(missing.userMessage(), QStringLiteral("语音识别模型未找到或不完整，请在设置中重新下载"));
    EXPECT_EQ(missing.logDetail(), QStringLiteral("modelNotFound(m/encoder*.onnx)"));
    const auto refused = ASRError::createFailed(QStringLiteral("OnlineStream"));
    EXPECT_EQ(refused.userMessage(), QStringLiteral("语音识别引擎启动失败，请在设置中重新下载语音识别模型"));
    EXPECT_EQ(refused.logDetail(), QStringLiteral("createFailed(OnlineStream)"));
}

// ---- ModelLocator ----

class Locator : public ::testing::Test {
protected:
    void install(const QString& root, const QString& name) { QDir().mkpath(QDir(root).filePath(name)); }
    QString cache() const { return home.path() + QStringLiteral("/.cache/zelk-asr"); }
    test::TestHome home;
};

TEST_F(Locator, CacheFolderIsUnderHome) {
    qunsetenv("ZELK_MODEL_DIR");
    EXPECT_EQ(ModelLocator::cacheDir(), cache());
    EXPECT_FALSE(ModelLocator::dir(ModelLocator::streamingModelName));
    install(cache(), ModelLocator::streamingModelName);
    EXPECT_EQ(ModelLocator::dir(ModelLocator::streamingModelName), cache() + QLatin1Char('/') + ModelLocator::streamingModelName);
}

TEST_F(Locator, EnvironmentRootWinsAndFallsBackToTheCachePerModel) {
    QTemporaryDir root;
    qputenv("ZELK_MODEL_DIR", root.path().toUtf8());
    install(cache(), ModelLocator::streamingModelName);
    install(cache(), ModelLocator::fireRedModelName);
    install(root.path(), ModelLocator::fireRedModelName);
    EXPECT_EQ(ModelLocator::resolvedDir(ModelLocator::streamingModelName),
              cache() + QLatin1Char('/') + ModelLocator::streamingModelName);
    EXPECT_EQ(ModelLocator::resolvedDir(ModelLocator::fireRedModelName),
              QDir(root.path()).filePath(ModelLocator::fireRedModelName));
    EXPECT_FALSE(ModelLocator::resolvedDir(ModelLocator::qwen3ModelName));
    qunsetenv("ZELK_MODEL_DIR");
}

struct FinalPassCase {
    QStringList present;
    std::optional<OfflineModelKind::Family> expected;
    QString expectedName;
};

void PrintTo(const FinalPassCase& c, std::ostream* os) { *os << c.present.join(QLatin1Char(' ')).toStdString(); }

class PreferredFinalPass : public ::testing::TestWithParam<FinalPassCase> {};

TEST_P(PreferredFinalPass, FirstPresentWins) {
    test::TestHome home;
    qunsetenv("ZELK_MODEL_DIR");
    const QString cache = home.path() + QStringLiteral("/.cache/zelk-asr");
    for (const QString& name : GetParam().present)
        QDir().mkpath(QDir(cache).filePath(name));
    const auto kind = ModelLocator::preferredFinalPass();
    if (!GetParam().expected) {
        EXPECT_FALSE(kind);
        return;
    }
    ASSERT_TRUE(kind);
    EXPECT_EQ(kind->family, *GetParam().expected);
    EXPECT_EQ(kind->dir, QDir(cache).filePath(GetParam().expectedName));
}

using F = OfflineModelKind::Family;
INSTANTIATE_TEST_SUITE_P(
    Cases, PreferredFinalPass,
    ::testing::Values(
        FinalPassCase{{ModelLocator::fireRedModelName}, F::fireRedAED, ModelLocator::fireRedModelName},
        FinalPassCase{{ModelLocator::fireRedModelName, ModelLocator::qwen3ModelName}, F::qwen3, ModelLocator::qwen3ModelName},
        FinalPassCase{{ModelLocator::fireRedModelName, ModelLocator::transducerModelName}, F::transducer,
                      ModelLocator::transducerModelName},
        FinalPassCase{{ModelLocator::streamingModelName}, std::nullopt, {}}));

struct PublicTextCase {
    QString input;
    QString expected;
};

void PrintTo(const PublicTextCase& c, std::ostream* os) { *os << c.input.toStdString(); }

class PublicText : public ::testing::TestWithParam<PublicTextCase> {};

TEST_P(PublicText, HidesModelNamesAndPaths) { EXPECT_EQ(ModelLocator::publicText(GetParam().input), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Cases, PublicText,
    ::testing::Values(
        PublicTextCase{"OfflineRecognizer(sherpa-onnx-fire-red-asr2-zh_en-int8-2026-02-26)", "OfflineRecognizer(语音识别模型)"},
        PublicTextCase{"/a/.cache/zelk-asr/sherpa-onnx-qwen3-asr-0.6B-int8-2026-03-25/encoder.int8.onnx",
                       "语音识别模型/encoder.int8.onnx"},
        PublicTextCase{"下载 Sherpa-ONNX-X-ASR-zipformer 失败", "下载 语音识别模型 失败"},
        PublicTextCase{"C:\\models\\FireRed-v2.onnx missing", "语音识别模型 missing"},
        PublicTextCase{"语音识别模型未找到或不完整，请在设置中重新下载", "语音识别模型未找到或不完整，请在设置中重新下载"},
        PublicTextCase{"network timeout", "network timeout"}));

// ---- recogniser configurations ----

TEST(SherpaConfig, StreamingFieldsFromTheModelDirectory) {
    QTemporaryDir root;
    for (const char* f : {"encoder-epoch-99.int8.onnx", "encoder-epoch-99.onnx", "decoder.onnx", "joiner.int8.onnx"})
        touch(root.filePath(QString::fromLatin1(f)));
    CStringArena arena;
    const auto c = SherpaConfig::streaming(root.path(), 2, arena);
    EXPECT_EQ(c.feat_config.sample_rate, 16000);
    EXPECT_EQ(c.feat_config.feature_dim, 80);
    EXPECT_EQ(QString::fromUtf8(c.model_config.transducer.encoder), root.filePath("encoder-epoch-99.int8.onnx"));
    EXPECT_EQ(QString::fromUtf8(c.model_config.transducer.decoder), root.filePath("decoder.onnx"));
    EXPECT_EQ(QString::fromUtf8(c.model_config.transducer.joiner), root.filePath("joiner.int8.onnx"));
    EXPECT_EQ(QString::fromUtf8(c.model_config.tokens), root.filePath("tokens.txt"));
    EXPECT_EQ(c.model_config.num_threads, 2);
    EXPECT_STREQ(c.model_config.provider, "cpu");
    EXPECT_STREQ(c.decoding_method, "greedy_search");
    EXPECT_EQ(c.max_active_paths, 4);
    EXPECT_EQ(c.enable_endpoint, 1);
    EXPECT_FLOAT_EQ(c.rule1_min_trailing_silence, 2.4f);
    EXPECT_FLOAT_EQ(c.rule2_min_trailing_silence, 0.8f);
    EXPECT_FLOAT_EQ(c.rule3_min_utterance_length, 20.0f);
    EXPECT_EQ(c.hotwords_file, nullptr);
    EXPECT_EQ(c.model_config.model_type, nullptr);
    EXPECT_EQ(c.hr.lexicon, nullptr);
}

TEST(SherpaConfig, Qwen3BlockInFieldOrderWithHotwordsCutTo160Characters) {
    QTemporaryDir root;
    for (const char* f : {"conv_frontend.onnx", "encoder.int8.onnx", "decoder.int8.onnx"})
        touch(root.filePath(QString::fromLatin1(f)));
    QString hotwords;
    for (int i = 0; i < 40; ++i)
        hotwords += QStringLiteral("飞书👍🏽 ");
    CStringArena arena;
    const auto c = SherpaConfig::offline(OfflineModelKind::qwen3(root.path()), 4, hotwords, arena);
    const auto& q = c.model_config.qwen3_asr;
    EXPECT_EQ(QString::fromUtf8(q.conv_frontend), root.filePath("conv_frontend.onnx"));
    EXPECT_EQ(QString::fromUtf8(q.encoder), root.filePath("encoder.int8.onnx"));
    EXPECT_EQ(QString::fromUtf8(q.decoder), root.filePath("decoder.int8.onnx"));
    EXPECT_EQ(QString::fromUtf8(q.tokenizer), root.filePath("tokenizer"));
    EXPECT_EQ(q.max_total_len, 512);
    EXPECT_EQ(q.max_new_tokens, 256);
    EXPECT_FLOAT_EQ(q.temperature, 1e-6f);
    EXPECT_FLOAT_EQ(q.top_p, 0.8f);
    EXPECT_EQ(q.seed, 42);
    EXPECT_EQ(QString::fromUtf8(q.hotwords), text::graphemePrefix(hotwords, 160));
    EXPECT_EQ(text::graphemeCount(QString::fromUtf8(q.hotwords)), 160);
    EXPECT_EQ(c.model_config.tokens, nullptr);
    EXPECT_EQ(c.model_config.num_threads, 4);
    EXPECT_EQ(c.model_config.transducer.encoder, nullptr);

    CStringArena other;
    EXPECT_EQ(SherpaConfig::offline(OfflineModelKind::qwen3(root.path()), 4, QString(), other).model_config.qwen3_asr.hotwords,
              nullptr);
}

TEST(SherpaConfig, EachOfflineKindFillsOnlyItsOwnBlock) {
    QTemporaryDir root;
    for (const char* f : {"encoder.onnx", "decoder.onnx", "joiner.onnx", "model.int8.onnx"})
        touch(root.filePath(QString::fromLatin1(f)));
    const QString tokens = root.filePath("tokens.txt");
    CStringArena arena;

    const auto t = SherpaConfig::offline(OfflineModelKind::transducer(root.path()), 4, QStringLiteral("飞书"), arena);
    EXPECT_EQ(QString::fromUtf8(t.model_config.transducer.joiner), root.filePath("joiner.onnx"));
    EXPECT_EQ(QString::fromUtf8(t.model_config.tokens), tokens);
    EXPECT_EQ(t.model_config.fire_red_asr.encoder, nullptr);
    EXPECT_EQ(t.model_config.qwen3_asr.hotwords, nullptr);
    EXPECT_EQ(t.feat_config.sample_rate, 0);

    const auto aed = SherpaConfig::offline(OfflineModelKind::fireRedAED(root.path()), 4, {}, arena);
    EXPECT_EQ(QString::fromUtf8(aed.model_config.fire_red_asr.encoder), root.filePath("encoder.onnx"));
    EXPECT_EQ(QString::fromUtf8(aed.model_config.fire_red_asr.decoder), root.filePath("decoder.onnx"));
    EXPECT_EQ(aed.model_config.transducer.encoder, nullptr);
    EXPECT_EQ(QString::fromUtf8(aed.model_config.tokens), tokens);

    const auto ctc = SherpaConfig::offline(OfflineModelKind::fireRedCTC(root.path()), 4, {}, arena);
    EXPECT_EQ(QString::fromUtf8(ctc.model_config.fire_red_asr_ctc.model), root.filePath("model.int8.onnx"));
    EXPECT_EQ(ctc.model_config.fire_red_asr.encoder, nullptr);
    EXPECT_EQ(QString::fromUtf8(ctc.model_config.tokens), tokens);
}

TEST(SherpaConfig, FirstMissingFileEndsConstruction) {
    QTemporaryDir root;
    touch(root.filePath("encoder.onnx"));
    CStringArena arena;
    try {
        SherpaConfig::offline(OfflineModelKind::transducer(root.path()), 4, {}, arena);
        FAIL();
    } catch (const ASRError& e) {
        EXPECT_EQ(e.payload(), QFileInfo(root.path()).fileName() + QStringLiteral("/decoder*.onnx"));
    }
}

TEST(CStringArena, OwnsUtf8Copies) {
    CStringArena arena;
    const char* a = arena.ptr(QStringLiteral("飞书"));
    const char* b = arena.ptr(QString());
    EXPECT_STREQ(a, "飞书");
    EXPECT_STREQ(b, "");
    EXPECT_EQ(arena.size(), 2u);
}

} // namespace
