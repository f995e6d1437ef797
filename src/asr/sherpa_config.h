#pragma once

#include "asr/cstring_arena.h"
#include "asr/offline_model_kind.h"
#include "asr/sherpa_c_api.h"

#include <QString>

// The recogniser configurations, filled from a model directory. Strings point
// into `arena`. Throws ASRError::modelNotFound when a model file is missing.
namespace zelk::SherpaConfig {

// Qwen3 takes at most this many characters of hotword text.
inline constexpr int qwen3HotwordLimit = 160;

SherpaOnnxOnlineRecognizerConfig streaming(const QString& modelDir, int32_t threads, CStringArena& arena);
SherpaOnnxOfflineRecognizerConfig offline(const OfflineModelKind& kind, int32_t threads, const QString& hotwords,
                                          CStringArena& arena);

} // namespace zelk::SherpaConfig
