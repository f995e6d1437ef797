#include "asr/two_pass_transcriber.h"

#include "asr/asr_error.h"
#include "asr/model_locator.h"
#include "core/log.h"
#include "core/text.h"
#include "language/hotword_guard.h"

namespace zelk {

TwoPassTranscriber::TwoPassTranscriber(std::shared_ptr<ModelCheck> check)
    : m_check(std::move(check)), m_actor(QStringLiteral("transcriber")) {}

TwoPassTranscriber::~TwoPassTranscriber() {
    // Pending decodes check their token before touching this object again.
    for (const TaskHandle& task : m_decodeTasks)
        task.cancel();
}

std::optional<QString> TwoPassTranscriber::failureMessage() const {
    if (m_state.phase == State::Phase::failed)
        return m_state.message;
    return std::nullopt;
}

Task<void> TwoPassTranscriber::load(QString hotwords) {
    if (m_state.phase != State::Phase::unloaded)
        co_return;
    m_state = State{State::Phase::loading, {}};
    m_currentHotwords = hotwords;
    try {
        const auto dir = ModelLocator::resolvedDir(ModelLocator::streamingModelName);
        if (!dir)
            throw ASRError::modelNotFound(ModelLocator::streamingModelName);
        const auto kind = ModelLocator::preferredFinalPass();
        if (!kind)
            throw ASRError::modelNotFound(QStringLiteral("终稿识别模型"));

        // Every awaited expression is named first: GCC 12 destroys temporaries
        // inside a co_await expression twice.
        auto streamingChecked = m_check->verify(*dir, ModelCheck::streamingKind);
        co_await std::move(streamingChecked);
        auto build = [this, d = *dir] { m_streaming = std::make_unique<SherpaStreamingASR>(d, streamingThreads); };
        auto built = m_actor.run(std::move(build));
        co_await std::move(built);
        m_hasStreaming = true;

        auto finalLoaded = checkAndLoadFinalPass(*kind, hotwords);
        co_await std::move(finalLoaded);
        m_state = State{State::Phase::ready, {}};
    } catch (const ASRError& e) {
        m_state = State{State::Phase::failed, ModelLocator::publicText(e.userMessage())};
        qCCritical(Log::asr).noquote() << QStringLiteral("引擎加载失败：%1").arg(e.logDetail());
    } catch (const std::exception& e) {
        const QString description = QString::fromUtf8(e.what());
        m_state = State{State::Phase::failed, ModelLocator::publicText(description)};
        qCCritical(Log::asr).noquote() << QStringLiteral("引擎加载失败：%1").arg(description);
    }
}

Task<void> TwoPassTranscriber::reloadHotwords(QString hotwords) {
    if (m_state.phase != State::Phase::ready || hotwords == m_currentHotwords)
        co_return;
    m_currentHotwords = hotwords;
    const auto kind = ModelLocator::preferredFinalPass();
    if (!kind)
        co_return;
    try {
        auto loaded = checkAndLoadFinalPass(*kind, hotwords);
        co_await std::move(loaded);
    } catch (const std::exception& e) {
        // The previous offline engine stays in use.
        qCDebug(Log::asr) << "终稿引擎重载失败：" << e.what();
    }
    qCInfo(Log::asr).noquote() << QStringLiteral("终稿引擎已按新词典重载");
}

Task<void> TwoPassTranscriber::checkAndLoadFinalPass(OfflineModelKind kind, QString hotwords) {
    const QString family = familyName(kind.family);
    auto checked = m_check->verify(kind.dir, family);
    co_await std::move(checked);
    auto loaded = m_finalPass.load(kind, offlineThreads, hotwords);
    co_await std::move(loaded);
}

Task<void> TwoPassTranscriber::reloadAfterInstall(QString hotwords) {
    if (m_state.phase == State::Phase::loading || m_state.phase == State::Phase::ready)
        co_return;
    m_state = State{};
    m_hasStreaming = false;
    m_actor.run([this] { m_streaming.reset(); });
    auto loaded = load(std::move(hotwords));
    co_await std::move(loaded);
}

void TwoPassTranscriber::resetStreaming() {
    if (m_hasStreaming)
        m_actor.run([this] {
            if (m_streaming)
                m_streaming->reset();
        });
}

void TwoPassTranscriber::resetSessionData() {
    ++m_generation;
    m_sessionSamples.clear(); // keeps its capacity for the next session
    m_segments.clear();
    m_segmentCount = 0;
    m_segmentStart = 0;
    m_streamingEngineTime = {};
}

void TwoPassTranscriber::beginSession() {
    resetSessionData();
    // Running decodes are left to finish; the generation check drops their results.
    m_decodeTasks.clear();
    resetStreaming();
}

void TwoPassTranscriber::endSession() {
    resetSessionData();
    for (const TaskHandle& task : m_decodeTasks)
        task.cancel();
    m_decodeTasks.clear();
    resetStreaming();
}

Task<std::optional<SherpaStreamingASR::Partial>> TwoPassTranscriber::feed(std::vector<float> samples) {
    m_sessionSamples.insert(m_sessionSamples.end(), samples.begin(), samples.end());
    if (!m_hasStreaming)
        co_return std::nullopt;
    const quint64 generation = m_generation;
    using Timed = std::pair<std::optional<SherpaStreamingASR::Partial>, std::chrono::nanoseconds>;
    auto job = [this, samples = std::move(samples)]() -> Timed {
        if (!m_streaming)
            return {};
        const auto start = std::chrono::steady_clock::now();
        auto partial = m_streaming->accept(samples);
        return {std::move(partial), std::chrono::steady_clock::now() - start};
    };
    auto accepted = m_actor.run(std::move(job));
    auto [partial, engineTime] = co_await std::move(accepted);
    if (generation == m_generation)
        m_streamingEngineTime += engineTime;
    // A session that ended while the chunk was decoded keeps none of it.
    if (partial && partial->endpointed && generation == m_generation)
        closeSegment(partial->segmentDraft);
    co_return partial;
}

Task<QString> TwoPassTranscriber::finishStreaming() {
    if (!m_hasStreaming)
        co_return QString();
    auto job = [this] { return m_streaming ? m_streaming->finish() : QString(); };
    auto finished = m_actor.run(std::move(job));
    co_return co_await std::move(finished);
}

void TwoPassTranscriber::closeSegment(const QString& draft) {
    const qsizetype end = qsizetype(m_sessionSamples.size());
    if (end - m_segmentStart < shortestSegment) {
        // Too short to decode; its audio and draft take no part in the transcript.
        m_segmentStart = end;
        return;
    }
    const int index = m_segmentCount++;
    m_segments[index] = Segment{m_segmentStart, end, draft, {}, {}, false};
    std::vector<float> samples(m_sessionSamples.begin() + m_segmentStart, m_sessionSamples.begin() + end);
    m_segmentStart = end;
    const quint64 generation = m_generation;
    m_decodeTasks.push_back(spawn([this, samples = std::move(samples), index, generation](CancellationToken token) mutable {
        return decodeSegment(std::move(samples), index, generation, token);
    }));
}

Task<void> TwoPassTranscriber::decodeSegment(std::vector<float> samples, int index, quint64 generation,
                                             CancellationToken token) {
    auto pending = m_finalPass.decode(std::move(samples));
    auto decoded = co_await std::move(pending);
    if (token.isCancelled() || generation != m_generation)
        co_return;
    auto it = m_segments.find(index);
    if (it == m_segments.end())
        co_return;
    it->second.finalText = std::move(decoded.text);
    it->second.decodeTime = decoded.elapsed;
    it->second.decoded = true;
}

Task<QString> TwoPassTranscriber::finalTranscript(QString draft) {
    // The drafts of the closed segments are joined the way the streaming
    // engine joined them, so what follows them in `draft` is the open segment.
    QString covered;
    for (int i = 0; i < m_segmentCount; ++i)
        if (auto it = m_segments.find(i); it != m_segments.end())
            covered = joinSegments(covered, it->second.draft);
    const qsizetype coveredCount = text::graphemeCount(covered);
    const qsizetype draftCount = text::graphemeCount(draft);
    closeSegment(coveredCount >= draftCount
                     ? QString()
                     : text::trimmedWhitespaceAndNewlines(text::graphemeSuffix(draft, draftCount - coveredCount)));

    const std::vector<TaskHandle> tasks = std::exchange(m_decodeTasks, {});
    for (const TaskHandle& task : tasks) {
        auto finished = task.finished();
        co_await std::move(finished);
    }

    QStringList hotwords = m_currentHotwords.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QString result;
    for (int i = 0; i < m_segmentCount; ++i) {
        const auto it = m_segments.find(i);
        if (it == m_segments.end())
            continue;
        const QString text = text::trimmedWhitespaceAndNewlines(it->second.finalText);
        const QString guarded = HotwordGuard::strip(text, it->second.draft, hotwords);
        result = joinSegments(result, guarded.isEmpty() ? it->second.draft : guarded);
    }
    co_return result.isEmpty() ? draft : result;
}

std::vector<TwoPassTranscriber::Segment> TwoPassTranscriber::segments() const {
    std::vector<Segment> out;
    for (const auto& [index, segment] : m_segments)
        out.push_back(segment);
    return out;
}

} // namespace zelk
