#pragma once

#include "platform/audio_input.h"

#include <memory>
#include <mutex>

namespace zelk {

struct PulseContext;

// AudioInput on the PulseAudio client library (PipeWire desktops answer it
// through pipewire-pulse). One threaded main loop per connection; a connection
// that the server dropped is made anew at the next call.
class PulseAudioInput final : public AudioInput {
public:
    // `server` as PulseAudio spells it ("unix:/run/user/1000/pulse/native");
    // empty: the user's default server.
    explicit PulseAudioInput(QString server = {});
    ~PulseAudioInput() override;

    QList<AudioSource> sources() override;
    AudioStreamFormat sourceFormat(const QString& source) override;
    std::unique_ptr<AudioRecording> record(const QString& source, AudioStreamFormat format,
                                           std::size_t framesPerBlock, BlockHandler onBlock) override;
    std::unique_ptr<AudioWatch> watch(ChangeHandler onChange) override;

private:
    std::shared_ptr<PulseContext> connection();

    QString m_server;
    std::mutex m_mutex;
    std::shared_ptr<PulseContext> m_context;
};

} // namespace zelk
