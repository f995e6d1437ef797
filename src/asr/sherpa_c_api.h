#pragma once

// Our declarations of the part of the sherpa-onnx 1.13.8 C interface we use,
// x86_64 LP64 layout. Every offset and size is checked below against the
// library's layout, so a mismatched build fails to compile rather than passing
// paths in the wrong fields. Strings are UTF-8 and only need to live until the
// Create call returns.

#include <cstddef>
#include <cstdint>

extern "C" {

typedef struct SherpaOnnxOnlineRecognizer SherpaOnnxOnlineRecognizer;
typedef struct SherpaOnnxOnlineStream SherpaOnnxOnlineStream;
typedef struct SherpaOnnxOfflineRecognizer SherpaOnnxOfflineRecognizer;
typedef struct SherpaOnnxOfflineStream SherpaOnnxOfflineStream;

struct SherpaOnnxFeatureConfig {
    int32_t sample_rate;
    int32_t feature_dim;
};

// Blocks that hold a single model path.
struct SherpaOnnxSinglePathModelConfig {
    const char* model;
};

struct SherpaOnnxEncDecPathsConfig {
    const char* encoder;
    const char* decoder;
};

struct SherpaOnnxTransducerModelConfig {
    const char* encoder;
    const char* decoder;
    const char* joiner;
};

struct SherpaOnnxHomophoneReplacerConfig {
    const char* dict_dir;
    const char* lexicon;
    const char* rule_fsts;
};

// ---- streaming ----

struct SherpaOnnxOnlineModelConfig {
    SherpaOnnxTransducerModelConfig transducer;
    SherpaOnnxEncDecPathsConfig paraformer;
    SherpaOnnxSinglePathModelConfig zipformer2_ctc;
    const char* tokens;
    int32_t num_threads;
    const char* provider;
    int32_t debug;
    const char* model_type;
    const char* modeling_unit;
    const char* bpe_vocab;
    const char* tokens_buf;
    int32_t tokens_buf_size;
    SherpaOnnxSinglePathModelConfig nemo_ctc;
    SherpaOnnxSinglePathModelConfig t_one_ctc;
};

struct SherpaOnnxOnlineCtcFstDecoderConfig {
    const char* graph;
    int32_t max_active;
};

struct SherpaOnnxOnlineRecognizerConfig {
    SherpaOnnxFeatureConfig feat_config;
    SherpaOnnxOnlineModelConfig model_config;
    const char* decoding_method;
    int32_t max_active_paths;
    int32_t enable_endpoint;
    float rule1_min_trailing_silence;
    float rule2_min_trailing_silence;
    float rule3_min_utterance_length;
    const char* hotwords_file;
    float hotwords_score;
    SherpaOnnxOnlineCtcFstDecoderConfig ctc_fst_decoder_config;
    const char* rule_fsts;
    const char* rule_fars;
    float blank_penalty;
    const char* hotwords_buf;
    int32_t hotwords_buf_size;
    SherpaOnnxHomophoneReplacerConfig hr;
};

struct SherpaOnnxOnlineRecognizerResult {
    const char* text;
    const char* tokens;
    const char* const* tokens_arr;
    float* timestamps;
    int32_t count;
    const char* json;
};

// ---- offline ----

struct SherpaOnnxOfflineWhisperModelConfig {
    const char* encoder;
    const char* decoder;
    const char* language;
    const char* task;
    int32_t tail_paddings;
    int32_t enable_token_timestamps;
    int32_t enable_segment_timestamps;
};

struct SherpaOnnxOfflineSenseVoiceModelConfig {
    const char* model;
    const char* language;
    int32_t use_itn;
};

struct SherpaOnnxOfflineMoonshineModelConfig {
    const char* preprocessor;
    const char* encoder;
    const char* uncached_decoder;
    const char* cached_decoder;
    const char* merged_decoder;
};

struct SherpaOnnxOfflineCanaryModelConfig {
    const char* encoder;
    const char* decoder;
    const char* src_lang;
    const char* tgt_lang;
    int32_t use_pnc;
};

struct SherpaOnnxOfflineFunASRNanoModelConfig {
    const char* encoder_adaptor;
    const char* llm;
    const char* embedding;
    const char* tokenizer;
    const char* system_prompt;
    const char* user_prompt;
    int32_t max_new_tokens;
    float temperature;
    float top_p;
    int32_t seed;
    const char* language;
    int32_t itn;
    const char* hotwords;
};

struct SherpaOnnxOfflineQwen3ASRModelConfig {
    const char* conv_frontend;
    const char* encoder;
    const char* decoder;
    const char* tokenizer; // a directory
    int32_t max_total_len;
    int32_t max_new_tokens;
    float temperature;
    float top_p;
    int32_t seed;
    const char* hotwords;
};

struct SherpaOnnxOfflineCohereTranscribeModelConfig {
    const char* encoder;
    const char* decoder;
    const char* language;
    int32_t use_punct;
    int32_t use_itn;
};

struct SherpaOnnxOfflineModelConfig {
    SherpaOnnxTransducerModelConfig transducer;
    SherpaOnnxSinglePathModelConfig paraformer;
    SherpaOnnxSinglePathModelConfig nemo_ctc;
    SherpaOnnxOfflineWhisperModelConfig whisper;
    SherpaOnnxSinglePathModelConfig tdnn;
    const char* tokens;
    int32_t num_threads;
    int32_t debug;
    const char* provider;
    const char* model_type;
    const char* modeling_unit;
    const char* bpe_vocab;
    const char* telespeech_ctc;
    SherpaOnnxOfflineSenseVoiceModelConfig sense_voice;
    SherpaOnnxOfflineMoonshineModelConfig moonshine;
    SherpaOnnxEncDecPathsConfig fire_red_asr;
    SherpaOnnxSinglePathModelConfig dolphin;
    SherpaOnnxSinglePathModelConfig zipformer_ctc;
    SherpaOnnxOfflineCanaryModelConfig canary;
    SherpaOnnxSinglePathModelConfig wenet_ctc;
    SherpaOnnxSinglePathModelConfig omnilingual;
    SherpaOnnxSinglePathModelConfig medasr;
    SherpaOnnxOfflineFunASRNanoModelConfig funasr_nano;
    SherpaOnnxSinglePathModelConfig fire_red_asr_ctc;
    SherpaOnnxOfflineQwen3ASRModelConfig qwen3_asr;
    SherpaOnnxOfflineCohereTranscribeModelConfig cohere_transcribe;
};

struct SherpaOnnxOfflineLMConfig {
    const char* model;
    float scale;
};

struct SherpaOnnxOfflineRecognizerConfig {
    SherpaOnnxFeatureConfig feat_config;
    SherpaOnnxOfflineModelConfig model_config;
    SherpaOnnxOfflineLMConfig lm_config;
    const char* decoding_method;
    int32_t max_active_paths;
    const char* hotwords_file;
    float hotwords_score;
    const char* rule_fsts;
    const char* rule_fars;
    float blank_penalty;
    SherpaOnnxHomophoneReplacerConfig hr;
};

struct SherpaOnnxOfflineRecognizerResult {
    const char* text;
    float* timestamps;
    int32_t count;
    const char* tokens;
    const char* const* tokens_arr;
    const char* json;
    const char* lang;
    const char* emotion;
    const char* event;
    float* durations;
    float* ys_log_probs;
    const float* segment_timestamps;
    const float* segment_durations;
    const char* segment_texts;
    const char* const* segment_texts_arr;
    int32_t segment_count;
};

// ---- functions ----

const char* SherpaOnnxGetVersionStr(void);

const SherpaOnnxOnlineRecognizer* SherpaOnnxCreateOnlineRecognizer(const SherpaOnnxOnlineRecognizerConfig* config);
void SherpaOnnxDestroyOnlineRecognizer(const SherpaOnnxOnlineRecognizer* recognizer);
const SherpaOnnxOnlineStream* SherpaOnnxCreateOnlineStream(const SherpaOnnxOnlineRecognizer* recognizer);
void SherpaOnnxDestroyOnlineStream(const SherpaOnnxOnlineStream* stream);
void SherpaOnnxOnlineStreamAcceptWaveform(const SherpaOnnxOnlineStream* stream, int32_t sample_rate,
                                          const float* samples, int32_t n);
int32_t SherpaOnnxIsOnlineStreamReady(const SherpaOnnxOnlineRecognizer* recognizer,
                                      const SherpaOnnxOnlineStream* stream);
void SherpaOnnxDecodeOnlineStream(const SherpaOnnxOnlineRecognizer* recognizer, const SherpaOnnxOnlineStream* stream);
int32_t SherpaOnnxOnlineStreamIsEndpoint(const SherpaOnnxOnlineRecognizer* recognizer,
                                         const SherpaOnnxOnlineStream* stream);
const SherpaOnnxOnlineRecognizerResult* SherpaOnnxGetOnlineStreamResult(const SherpaOnnxOnlineRecognizer* recognizer,
                                                                        const SherpaOnnxOnlineStream* stream);
void SherpaOnnxDestroyOnlineRecognizerResult(const SherpaOnnxOnlineRecognizerResult* r);
void SherpaOnnxOnlineStreamReset(const SherpaOnnxOnlineRecognizer* recognizer, const SherpaOnnxOnlineStream* stream);
void SherpaOnnxOnlineStreamInputFinished(const SherpaOnnxOnlineStream* stream);

const SherpaOnnxOfflineRecognizer* SherpaOnnxCreateOfflineRecognizer(const SherpaOnnxOfflineRecognizerConfig* config);
void SherpaOnnxDestroyOfflineRecognizer(const SherpaOnnxOfflineRecognizer* recognizer);
const SherpaOnnxOfflineStream* SherpaOnnxCreateOfflineStream(const SherpaOnnxOfflineRecognizer* recognizer);
void SherpaOnnxAcceptWaveformOffline(const SherpaOnnxOfflineStream* stream, int32_t sample_rate, const float* samples,
                                     int32_t n);
void SherpaOnnxDecodeOfflineStream(const SherpaOnnxOfflineRecognizer* recognizer, const SherpaOnnxOfflineStream* stream);
const SherpaOnnxOfflineRecognizerResult* SherpaOnnxGetOfflineStreamResult(const SherpaOnnxOfflineStream* stream);
void SherpaOnnxDestroyOfflineRecognizerResult(const SherpaOnnxOfflineRecognizerResult* r);
void SherpaOnnxDestroyOfflineStream(const SherpaOnnxOfflineStream* stream);

} // extern "C"

// ---- layout checks (x86_64) ----

#define ZELK_SHERPA_OFFSET(type, field, off) static_assert(offsetof(type, field) == (off), #type "." #field)

static_assert(sizeof(SherpaOnnxFeatureConfig) == 8);
static_assert(sizeof(SherpaOnnxSinglePathModelConfig) == 8);
static_assert(sizeof(SherpaOnnxEncDecPathsConfig) == 16);
static_assert(sizeof(SherpaOnnxTransducerModelConfig) == 24);
static_assert(sizeof(SherpaOnnxHomophoneReplacerConfig) == 24);
static_assert(sizeof(SherpaOnnxOnlineCtcFstDecoderConfig) == 16);
static_assert(sizeof(SherpaOnnxOnlineModelConfig) == 136);
static_assert(sizeof(SherpaOnnxOnlineRecognizerConfig) == 272);
static_assert(sizeof(SherpaOnnxOnlineRecognizerResult) == 48);
static_assert(sizeof(SherpaOnnxOfflineWhisperModelConfig) == 48);
static_assert(sizeof(SherpaOnnxOfflineSenseVoiceModelConfig) == 24);
static_assert(sizeof(SherpaOnnxOfflineMoonshineModelConfig) == 40);
static_assert(sizeof(SherpaOnnxOfflineCanaryModelConfig) == 40);
static_assert(sizeof(SherpaOnnxOfflineFunASRNanoModelConfig) == 88);
static_assert(sizeof(SherpaOnnxOfflineQwen3ASRModelConfig) == 64);
static_assert(sizeof(SherpaOnnxOfflineCohereTranscribeModelConfig) == 32);
static_assert(sizeof(SherpaOnnxOfflineModelConfig) == 504);
static_assert(sizeof(SherpaOnnxOfflineLMConfig) == 16);
static_assert(sizeof(SherpaOnnxOfflineRecognizerConfig) == 608);
static_assert(sizeof(SherpaOnnxOfflineRecognizerResult) == 128);

ZELK_SHERPA_OFFSET(SherpaOnnxFeatureConfig, feature_dim, 4);
ZELK_SHERPA_OFFSET(SherpaOnnxHomophoneReplacerConfig, lexicon, 8);
ZELK_SHERPA_OFFSET(SherpaOnnxHomophoneReplacerConfig, rule_fsts, 16);
ZELK_SHERPA_OFFSET(SherpaOnnxTransducerModelConfig, decoder, 8);
ZELK_SHERPA_OFFSET(SherpaOnnxTransducerModelConfig, joiner, 16);
ZELK_SHERPA_OFFSET(SherpaOnnxEncDecPathsConfig, decoder, 8);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineCtcFstDecoderConfig, max_active, 8);

ZELK_SHERPA_OFFSET(SherpaOnnxOnlineModelConfig, transducer, 0);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineModelConfig, paraformer, 24);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineModelConfig, zipformer2_ctc, 40);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineModelConfig, tokens, 48);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineModelConfig, num_threads, 56);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineModelConfig, provider, 64);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineModelConfig, debug, 72);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineModelConfig, model_type, 80);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineModelConfig, modeling_unit, 88);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineModelConfig, bpe_vocab, 96);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineModelConfig, tokens_buf, 104);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineModelConfig, tokens_buf_size, 112);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineModelConfig, nemo_ctc, 120);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineModelConfig, t_one_ctc, 128);

ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerConfig, feat_config, 0);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerConfig, model_config, 8);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerConfig, model_config.transducer.encoder, 8);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerConfig, model_config.transducer.decoder, 16);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerConfig, model_config.transducer.joiner, 24);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerConfig, model_config.tokens, 56);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerConfig, model_config.num_threads, 64);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerConfig, model_config.provider, 72);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerConfig, model_config.model_type, 88);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerConfig, decoding_method, 144);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerConfig, max_active_paths, 152);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerConfig, enable_endpoint, 156);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerConfig, rule1_min_trailing_silence, 160);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerConfig, rule2_min_trailing_silence, 164);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerConfig, rule3_min_utterance_length, 168);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerConfig, hotwords_file, 176);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerConfig, hotwords_score, 184);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerConfig, ctc_fst_decoder_config, 192);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerConfig, rule_fsts, 208);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerConfig, rule_fars, 216);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerConfig, blank_penalty, 224);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerConfig, hotwords_buf, 232);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerConfig, hotwords_buf_size, 240);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerConfig, hr, 248);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerConfig, hr.lexicon, 256);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerConfig, hr.rule_fsts, 264);

ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerResult, tokens, 8);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerResult, tokens_arr, 16);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerResult, timestamps, 24);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerResult, count, 32);
ZELK_SHERPA_OFFSET(SherpaOnnxOnlineRecognizerResult, json, 40);

ZELK_SHERPA_OFFSET(SherpaOnnxOfflineWhisperModelConfig, task, 24);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineWhisperModelConfig, tail_paddings, 32);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineWhisperModelConfig, enable_segment_timestamps, 40);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineSenseVoiceModelConfig, use_itn, 16);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineMoonshineModelConfig, merged_decoder, 32);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineCanaryModelConfig, use_pnc, 32);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineFunASRNanoModelConfig, max_new_tokens, 48);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineFunASRNanoModelConfig, seed, 60);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineFunASRNanoModelConfig, language, 64);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineFunASRNanoModelConfig, itn, 72);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineFunASRNanoModelConfig, hotwords, 80);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineQwen3ASRModelConfig, encoder, 8);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineQwen3ASRModelConfig, decoder, 16);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineQwen3ASRModelConfig, tokenizer, 24);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineQwen3ASRModelConfig, max_total_len, 32);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineQwen3ASRModelConfig, max_new_tokens, 36);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineQwen3ASRModelConfig, temperature, 40);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineQwen3ASRModelConfig, top_p, 44);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineQwen3ASRModelConfig, seed, 48);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineQwen3ASRModelConfig, hotwords, 56);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineCohereTranscribeModelConfig, use_punct, 24);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineCohereTranscribeModelConfig, use_itn, 28);

ZELK_SHERPA_OFFSET(SherpaOnnxOfflineModelConfig, transducer, 0);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineModelConfig, paraformer, 24);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineModelConfig, nemo_ctc, 32);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineModelConfig, whisper, 40);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineModelConfig, tdnn, 88);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineModelConfig, tokens, 96);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineModelConfig, num_threads, 104);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineModelConfig, debug, 108);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineModelConfig, provider, 112);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineModelConfig, model_type, 120);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineModelConfig, modeling_unit, 128);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineModelConfig, bpe_vocab, 136);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineModelConfig, telespeech_ctc, 144);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineModelConfig, sense_voice, 152);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineModelConfig, moonshine, 176);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineModelConfig, fire_red_asr, 216);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineModelConfig, dolphin, 232);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineModelConfig, zipformer_ctc, 240);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineModelConfig, canary, 248);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineModelConfig, wenet_ctc, 288);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineModelConfig, omnilingual, 296);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineModelConfig, medasr, 304);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineModelConfig, funasr_nano, 312);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineModelConfig, fire_red_asr_ctc, 400);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineModelConfig, qwen3_asr, 408);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineModelConfig, cohere_transcribe, 472);

ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerConfig, model_config, 8);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerConfig, model_config.transducer.joiner, 24);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerConfig, model_config.tokens, 104);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerConfig, model_config.num_threads, 112);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerConfig, model_config.provider, 120);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerConfig, model_config.model_type, 128);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerConfig, model_config.fire_red_asr.encoder, 224);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerConfig, model_config.fire_red_asr.decoder, 232);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerConfig, model_config.fire_red_asr_ctc.model, 408);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerConfig, model_config.qwen3_asr.conv_frontend, 416);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerConfig, model_config.qwen3_asr.tokenizer, 440);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerConfig, model_config.qwen3_asr.max_total_len, 448);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerConfig, model_config.qwen3_asr.seed, 464);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerConfig, model_config.qwen3_asr.hotwords, 472);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerConfig, model_config.cohere_transcribe.use_itn, 508);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerConfig, lm_config, 512);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerConfig, lm_config.scale, 520);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerConfig, decoding_method, 528);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerConfig, max_active_paths, 536);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerConfig, hotwords_file, 544);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerConfig, hotwords_score, 552);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerConfig, rule_fsts, 560);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerConfig, rule_fars, 568);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerConfig, blank_penalty, 576);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerConfig, hr, 584);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerConfig, hr.rule_fsts, 600);

ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerResult, timestamps, 8);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerResult, count, 16);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerResult, tokens, 24);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerResult, tokens_arr, 32);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerResult, json, 40);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerResult, lang, 48);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerResult, emotion, 56);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerResult, event, 64);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerResult, durations, 72);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerResult, ys_log_probs, 80);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerResult, segment_timestamps, 88);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerResult, segment_durations, 96);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerResult, segment_texts, 104);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerResult, segment_texts_arr, 112);
ZELK_SHERPA_OFFSET(SherpaOnnxOfflineRecognizerResult, segment_count, 120);

#undef ZELK_SHERPA_OFFSET
