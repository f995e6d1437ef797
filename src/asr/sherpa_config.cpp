#include "asr/sherpa_config.h"

#include "asr/sherpa_model_file.h"
#include "core/text.h"

#include <QDir>

#include <cstring>

namespace zelk::SherpaConfig {

namespace {
const QString onnx = QStringLiteral(".onnx");
}

SherpaOnnxOnlineRecognizerConfig streaming(const QString& modelDir, int32_t threads, CStringArena& arena) {
    const QString encoder = SherpaModelFile::find(modelDir, QStringLiteral("encoder"), onnx);
    const QString decoder = SherpaModelFile::find(modelDir, QStringLiteral("decoder"), onnx);
    const QString joiner = SherpaModelFile::find(modelDir, QStringLiteral("joiner"), onnx);

    SherpaOnnxOnlineRecognizerConfig c;
    std::memset(&c, 0, sizeof c);
    c.feat_config.sample_rate = 16000;
    c.feat_config.feature_dim = 80;
    c.model_config.transducer.encoder = arena.ptr(encoder);
    c.model_config.transducer.decoder = arena.ptr(decoder);
    c.model_config.transducer.joiner = arena.ptr(joiner);
    c.model_config.tokens = arena.ptr(QDir(modelDir).filePath(QStringLiteral("tokens.txt")));
    c.model_config.num_threads = threads;
    c.model_config.provider = arena.ptr(QStringLiteral("cpu"));
    c.decoding_method = arena.ptr(QStringLiteral("greedy_search"));
    c.max_active_paths = 4;
    c.enable_endpoint = 1;
    c.rule1_min_trailing_silence = 2.4f;
    c.rule2_min_trailing_silence = 0.8f;
    c.rule3_min_utterance_length = 20.0f;
    return c;
}

SherpaOnnxOfflineRecognizerConfig offline(const OfflineModelKind& kind, int32_t threads, const QString& hotwords,
                                          CStringArena& arena) {
    SherpaOnnxOfflineRecognizerConfig c;
    std::memset(&c, 0, sizeof c);
    c.model_config.num_threads = threads;
    c.model_config.provider = arena.ptr(QStringLiteral("cpu"));
    c.decoding_method = arena.ptr(QStringLiteral("greedy_search"));

    const QString& dir = kind.dir;
    auto file = [&](const char* prefix) { return arena.ptr(SherpaModelFile::find(dir, QString::fromLatin1(prefix), onnx)); };
    const auto tokens = [&] { return arena.ptr(QDir(dir).filePath(QStringLiteral("tokens.txt"))); };

    switch (kind.family) {
    case OfflineModelKind::Family::transducer:
        c.model_config.transducer.encoder = file("encoder");
        c.model_config.transducer.decoder = file("decoder");
        c.model_config.transducer.joiner = file("joiner");
        c.model_config.tokens = tokens();
        break;
    case OfflineModelKind::Family::fireRedAED:
        c.model_config.fire_red_asr.encoder = file("encoder");
        c.model_config.fire_red_asr.decoder = file("decoder");
        c.model_config.tokens = tokens();
        break;
    case OfflineModelKind::Family::fireRedCTC:
        c.model_config.fire_red_asr_ctc.model = file("model");
        c.model_config.tokens = tokens();
        break;
    case OfflineModelKind::Family::qwen3: {
        auto& q = c.model_config.qwen3_asr;
        q.conv_frontend = file("conv_frontend");
        q.encoder = file("encoder");
        q.decoder = file("decoder");
        q.tokenizer = arena.ptr(QDir(dir).filePath(QStringLiteral("tokenizer")));
        q.max_total_len = 512;
        q.max_new_tokens = 256;
        q.temperature = 1e-6f;
        q.top_p = 0.8f;
        q.seed = 42;
        if (!hotwords.isEmpty())
            q.hotwords = arena.ptr(text::graphemePrefix(hotwords, qwen3HotwordLimit));
        break;
    }
    }
    return c;
}

} // namespace zelk::SherpaConfig
