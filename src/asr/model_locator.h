#pragma once

#include "asr/offline_model_kind.h"

#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <optional>

// Where the recognition models live and which final-pass model to use.
namespace zelk::ModelLocator {

// Directory names of the models; each is also its archive's name without extension.
inline const QString streamingModelName =
    QStringLiteral("sherpa-onnx-x-asr-160ms-streaming-zipformer-transducer-zh-en-punct-int8-2026-06-05");
inline const QString qwen3ModelName = QStringLiteral("sherpa-onnx-qwen3-asr-0.6B-int8-2026-03-25");
inline const QString transducerModelName =
    QStringLiteral("sherpa-onnx-x-asr-zipformer-transducer-zh-en-punct-int8-2026-06-03");
inline const QString fireRedModelName = QStringLiteral("sherpa-onnx-fire-red-asr2-zh_en-int8-2026-02-26");

// The alternative model root read at each lookup.
inline constexpr const char* modelDirEnv = "ZELK_MODEL_DIR";

// ~/.cache/zelk-asr: one subdirectory per model.
QString cacheDir();

// cacheDir()/name when that path exists.
std::optional<QString> dir(const QString& name);
// $ZELK_MODEL_DIR/name when set and present, else dir(name).
std::optional<QString> resolvedDir(const QString& name);
// First present of Qwen3, offline transducer, FireRed AED.
std::optional<OfflineModelKind> preferredFinalPass();

// Matches model and engine names (and whole paths that contain one) inside messages.
const QRegularExpression& asrModelToken();
// `message` with every model name or path replaced by "语音识别模型".
QString publicText(const QString& message);

} // namespace zelk::ModelLocator
