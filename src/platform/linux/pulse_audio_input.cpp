#include "platform/linux/pulse_audio_input.h"

#include <pulse/pulseaudio.h>

#include <QByteArray>

#include <map>
#include <vector>

namespace zelk {

// One connection: the main-loop thread, the context, and the change watchers.
// Recordings and watches keep it alive, so a stale connection closes only when
// the last of them is gone.
struct PulseContext {
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    bool wasReady = false;
    QByteArray defaultSource;
    std::map<int, AudioInput::ChangeHandler> watchers; // guarded by the loop lock
    int nextWatcher = 0;

    ~PulseContext() {
        if (!loop)
            return;
        pa_threaded_mainloop_lock(loop);
        if (context) {
            pa_context_set_state_callback(context, nullptr, nullptr);
            pa_context_set_subscribe_callback(context, nullptr, nullptr);
            pa_context_disconnect(context);
            pa_context_unref(context);
        }
        pa_threaded_mainloop_unlock(loop);
        pa_threaded_mainloop_stop(loop);
        pa_threaded_mainloop_free(loop);
    }

    bool isGood() const { return context && PA_CONTEXT_IS_GOOD(pa_context_get_state(context)); }

    QString lastError() const {
        return QString::fromUtf8(pa_strerror(context ? pa_context_errno(context) : PA_ERR_CONNECTIONREFUSED));
    }

    // Handlers may add or remove watchers, so they run on a copy.
    void notify(AudioChange change) {
        const auto copy = watchers;
        for (const auto& [id, handler] : copy)
            handler(change);
    }

    // Waits (lock held) until the operation ends or the connection dies.
    void await(pa_operation* op) {
        if (!op)
            throw AudioInputError(lastError().toStdString());
        while (pa_operation_get_state(op) == PA_OPERATION_RUNNING && isGood())
            pa_threaded_mainloop_wait(loop);
        pa_operation_unref(op);
        if (!isGood())
            throw AudioInputError(lastError().toStdString());
    }
};

namespace {

class LoopLock {
public:
    explicit LoopLock(pa_threaded_mainloop* loop) : m_loop(loop) { pa_threaded_mainloop_lock(m_loop); }
    ~LoopLock() { pa_threaded_mainloop_unlock(m_loop); }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

private:
    pa_threaded_mainloop* m_loop;
};

void signalLoop(void* userdata) { pa_threaded_mainloop_signal(static_cast<PulseContext*>(userdata)->loop, 0); }

void onContextState(pa_context* c, void* userdata) {
    auto* self = static_cast<PulseContext*>(userdata);
    const auto state = pa_context_get_state(c);
    if (state == PA_CONTEXT_READY)
        self->wasReady = true;
    // A server that went away takes every source with it.
    if (!PA_CONTEXT_IS_GOOD(state) && self->wasReady) {
        self->wasReady = false;
        self->notify(AudioChange::sourceRemoved);
    }
    signalLoop(userdata);
}

void onServerInfo(pa_context*, const pa_server_info* info, void* userdata) {
    auto* self = static_cast<PulseContext*>(userdata);
    if (info) {
        const QByteArray current(info->default_source_name ? info->default_source_name : "");
        if (current != self->defaultSource) {
            const bool known = !self->defaultSource.isNull();
            self->defaultSource = current;
            if (known)
                self->notify(AudioChange::defaultSourceChanged);
        }
    }
    signalLoop(userdata);
}

void onSubscription(pa_context* c, pa_subscription_event_type_t event, uint32_t, void* userdata) {
    auto* self = static_cast<PulseContext*>(userdata);
    const auto facility = event & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
    const auto type = event & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
    if (facility == PA_SUBSCRIPTION_EVENT_SOURCE) {
        // Source changes (volume, suspend) happen all the time and mean nothing here.
        if (type == PA_SUBSCRIPTION_EVENT_NEW)
            self->notify(AudioChange::sourceAdded);
        else if (type == PA_SUBSCRIPTION_EVENT_REMOVE)
            self->notify(AudioChange::sourceRemoved);
    } else if (facility == PA_SUBSCRIPTION_EVENT_SERVER && type == PA_SUBSCRIPTION_EVENT_CHANGE) {
        // The server changes for the default sink too: compare the default source.
        if (auto* op = pa_context_get_server_info(c, onServerInfo, userdata))
            pa_operation_unref(op);
    }
}

AudioSource sourceFromInfo(const pa_source_info& info) {
    AudioSource source;
    source.index = info.index;
    source.name = QString::fromUtf8(info.name);
    source.description = QString::fromUtf8(info.description ? info.description : "");
    source.isMonitor = info.monitor_of_sink != PA_INVALID_INDEX;
    const char* bus = info.proplist ? pa_proplist_gets(info.proplist, PA_PROP_DEVICE_BUS) : nullptr;
    source.isBluetooth = bus && QByteArray(bus) == "bluetooth";
    return source;
}

struct SourceQuery {
    PulseContext* self;
    QList<AudioSource> sources;
    std::optional<AudioStreamFormat> format;
    QByteArray serverDefault;
};

// Blocks of exactly framesPerBlock frames, cut from whatever the server hands over.
class PulseRecording final : public AudioRecording {
public:
    PulseRecording(std::shared_ptr<PulseContext> ctx, int channels, std::size_t framesPerBlock,
                   AudioInput::BlockHandler onBlock)
        : m_ctx(std::move(ctx)), m_channels(channels), m_blockSamples(framesPerBlock * std::size_t(channels)),
          m_onBlock(std::move(onBlock)) {
        m_pending.reserve(m_blockSamples * 2);
    }

    ~PulseRecording() override {
        LoopLock lock(m_ctx->loop);
        if (m_stream) {
            pa_stream_set_read_callback(m_stream, nullptr, nullptr);
            pa_stream_set_state_callback(m_stream, nullptr, nullptr);
            pa_stream_disconnect(m_stream);
            pa_stream_unref(m_stream);
        }
    }

    // Lock held.
    void connect(const QString& source, double rate) {
        pa_sample_spec sampleFormat{PA_SAMPLE_FLOAT32LE, uint32_t(rate), uint8_t(m_channels)};
        if (!pa_sample_spec_valid(&sampleFormat))
            throw AudioInputError("invalid sample format");
        m_stream = pa_stream_new(m_ctx->context, "Zelk dictation", &sampleFormat, nullptr);
        if (!m_stream)
            throw AudioInputError(m_ctx->lastError().toStdString());
        pa_stream_set_state_callback(m_stream, &PulseRecording::onState, this);
        pa_stream_set_read_callback(m_stream, &PulseRecording::onRead, this);
        pa_buffer_attr attr{};
        attr.maxlength = uint32_t(-1);
        attr.fragsize = uint32_t(m_blockSamples * sizeof(float));
        const QByteArray dev = source.toUtf8();
        if (pa_stream_connect_record(m_stream, source.isEmpty() ? nullptr : dev.constData(), &attr,
                                     PA_STREAM_ADJUST_LATENCY) < 0)
            throw AudioInputError(m_ctx->lastError().toStdString());
        for (;;) {
            const auto state = pa_stream_get_state(m_stream);
            if (state == PA_STREAM_READY)
                return;
            if (!PA_STREAM_IS_GOOD(state) || !m_ctx->isGood())
                throw AudioInputError(m_ctx->lastError().toStdString());
            pa_threaded_mainloop_wait(m_ctx->loop);
        }
    }

private:
    static void onState(pa_stream*, void* userdata) {
        pa_threaded_mainloop_signal(static_cast<PulseRecording*>(userdata)->m_ctx->loop, 0);
    }

    static void onRead(pa_stream* s, size_t, void* userdata) {
        auto* self = static_cast<PulseRecording*>(userdata);
        while (pa_stream_readable_size(s) > 0) {
            const void* data = nullptr;
            size_t bytes = 0;
            if (pa_stream_peek(s, &data, &bytes) < 0 || bytes == 0)
                break;
            // A hole (data == nullptr) carries no samples: skip it.
            if (data) {
                const auto* samples = static_cast<const float*>(data);
                self->m_pending.insert(self->m_pending.end(), samples, samples + bytes / sizeof(float));
            }
            pa_stream_drop(s);
        }
        std::size_t offset = 0;
        while (self->m_pending.size() - offset >= self->m_blockSamples) {
            self->m_onBlock(self->m_pending.data() + offset, self->m_blockSamples / std::size_t(self->m_channels));
            offset += self->m_blockSamples;
        }
        self->m_pending.erase(self->m_pending.begin(), self->m_pending.begin() + std::ptrdiff_t(offset));
    }

    std::shared_ptr<PulseContext> m_ctx;
    pa_stream* m_stream = nullptr;
    int m_channels;
    std::size_t m_blockSamples;
    AudioInput::BlockHandler m_onBlock;
    std::vector<float> m_pending;
};

class PulseWatch final : public AudioWatch {
public:
    PulseWatch(std::shared_ptr<PulseContext> ctx, int id) : m_ctx(std::move(ctx)), m_id(id) {}
    ~PulseWatch() override {
        LoopLock lock(m_ctx->loop);
        m_ctx->watchers.erase(m_id);
    }

private:
    std::shared_ptr<PulseContext> m_ctx;
    int m_id;
};

} // namespace

PulseAudioInput::PulseAudioInput(QString server) : m_server(std::move(server)) {}

PulseAudioInput::~PulseAudioInput() = default;

std::shared_ptr<PulseContext> PulseAudioInput::connection() {
    std::lock_guard guard(m_mutex);
    if (m_context) {
        LoopLock lock(m_context->loop);
        if (m_context->isGood())
            return m_context;
    }
    auto ctx = std::make_shared<PulseContext>();
    ctx->loop = pa_threaded_mainloop_new();
    if (!ctx->loop)
        throw AudioInputError("cannot create the PulseAudio main loop");
    ctx->context = pa_context_new(pa_threaded_mainloop_get_api(ctx->loop), "Zelk");
    if (!ctx->context || pa_threaded_mainloop_start(ctx->loop) < 0)
        throw AudioInputError("cannot start the PulseAudio main loop");
    LoopLock lock(ctx->loop);
    pa_context_set_state_callback(ctx->context, onContextState, ctx.get());
    const QByteArray server = m_server.toUtf8();
    if (pa_context_connect(ctx->context, m_server.isEmpty() ? nullptr : server.constData(), PA_CONTEXT_NOAUTOSPAWN,
                           nullptr) < 0)
        throw AudioInputError(ctx->lastError().toStdString());
    for (;;) {
        const auto state = pa_context_get_state(ctx->context);
        if (state == PA_CONTEXT_READY)
            break;
        if (!PA_CONTEXT_IS_GOOD(state))
            throw AudioInputError(ctx->lastError().toStdString());
        pa_threaded_mainloop_wait(ctx->loop);
    }
    // Learn the current default source first, so only later changes are reported.
    ctx->await(pa_context_get_server_info(ctx->context, onServerInfo, ctx.get()));
    pa_context_set_subscribe_callback(ctx->context, onSubscription, ctx.get());
    ctx->await(pa_context_subscribe(
        ctx->context, pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SERVER),
        [](pa_context*, int, void* userdata) { signalLoop(userdata); }, ctx.get()));
    m_context = ctx;
    return ctx;
}

QList<AudioSource> PulseAudioInput::sources() {
    auto ctx = connection();
    LoopLock lock(ctx->loop);
    SourceQuery query{ctx.get(), {}, {}, {}};
    ctx->await(pa_context_get_source_info_list(
        ctx->context,
        [](pa_context*, const pa_source_info* info, int eol, void* userdata) {
            auto* q = static_cast<SourceQuery*>(userdata);
            if (eol == 0 && info)
                q->sources.append(sourceFromInfo(*info));
            if (eol != 0)
                signalLoop(q->self);
        },
        &query));
    return query.sources;
}

AudioStreamFormat PulseAudioInput::sourceFormat(const QString& source) {
    auto ctx = connection();
    LoopLock lock(ctx->loop);
    SourceQuery query{ctx.get(), {}, {}, {}};
    QByteArray name = source.toUtf8();
    if (name.isEmpty()) {
        ctx->await(pa_context_get_server_info(
            ctx->context,
            [](pa_context*, const pa_server_info* info, void* userdata) {
                auto* q = static_cast<SourceQuery*>(userdata);
                if (info && info->default_source_name)
                    q->serverDefault = info->default_source_name;
                signalLoop(q->self);
            },
            &query));
        name = query.serverDefault;
        if (name.isEmpty())
            return {}; // a server without any source
    }
    ctx->await(pa_context_get_source_info_by_name(
        ctx->context, name.constData(),
        [](pa_context*, const pa_source_info* info, int eol, void* userdata) {
            auto* q = static_cast<SourceQuery*>(userdata);
            if (eol == 0 && info)
                q->format = AudioStreamFormat{double(info->sample_spec.rate), int(info->sample_spec.channels)};
            if (eol != 0)
                signalLoop(q->self);
        },
        &query));
    if (!query.format)
        throw AudioInputError("no such source: " + name.toStdString());
    return *query.format;
}

std::unique_ptr<AudioRecording> PulseAudioInput::record(const QString& source, AudioStreamFormat format,
                                                        std::size_t framesPerBlock, BlockHandler onBlock) {
    auto ctx = connection();
    auto recording = std::make_unique<PulseRecording>(ctx, format.channels, framesPerBlock, std::move(onBlock));
    {
        LoopLock lock(ctx->loop);
        recording->connect(source, format.sampleRate);
    }
    return recording;
}

std::unique_ptr<AudioWatch> PulseAudioInput::watch(ChangeHandler onChange) {
    auto ctx = connection();
    LoopLock lock(ctx->loop);
    const int id = ctx->nextWatcher++;
    ctx->watchers.emplace(id, std::move(onChange));
    return std::make_unique<PulseWatch>(ctx, id);
}

} // namespace zelk
