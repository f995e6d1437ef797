#pragma once

#include <QList>
#include <QString>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

namespace zelk {

// One capture source of the sound server.
struct AudioSource {
    quint32 index = 0;   // the server's object id; changes when the source comes back
    QString name;        // persistent unique id (the server's source name)
    QString description; // what the user sees
    bool isMonitor = false;
    bool isBluetooth = false;
    bool operator==(const AudioSource&) const = default;
};

// What a source delivers: 32-bit float frames at this rate, channels interleaved.
struct AudioStreamFormat {
    double sampleRate = 0;
    int channels = 0;
    bool operator==(const AudioStreamFormat&) const = default;
};

// A failure of the sound server (connection refused, unknown source, stream refused);
// what() is the server's own description.
class AudioInputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Events of the sound server that can make a running capture stale.
enum class AudioChange { sourceAdded, sourceRemoved, defaultSourceChanged };

// A running record stream; destroying it stops the stream, and no block is
// delivered once the destructor has returned.
class AudioRecording {
public:
    virtual ~AudioRecording() = default;
};

// A registration for AudioChange events; destroying it ends them.
class AudioWatch {
public:
    virtual ~AudioWatch() = default;
};

// The sound server's capture side. The calls may block on the server, so they
// belong on a background thread; handlers run on the server client's own thread
// and must not block.
class AudioInput {
public:
    using BlockHandler = std::function<void(const float* interleaved, std::size_t frames)>;
    using ChangeHandler = std::function<void(AudioChange)>;

    virtual ~AudioInput() = default;

    // Every source in the server's order; throws AudioInputError.
    virtual QList<AudioSource> sources() = 0;
    // The format of `source` (empty: the default source, and an empty format when
    // there is none); throws AudioInputError when the source does not exist or
    // the server cannot be reached.
    virtual AudioStreamFormat sourceFormat(const QString& source) = 0;
    // Starts recording `source` (empty: the default source) in `format`, handing
    // blocks of exactly `framesPerBlock` frames to `onBlock`; throws AudioInputError.
    virtual std::unique_ptr<AudioRecording> record(const QString& source, AudioStreamFormat format,
                                                   std::size_t framesPerBlock, BlockHandler onBlock) = 0;
    // Reports source arrival, removal and default-source changes until the watch is destroyed.
    virtual std::unique_ptr<AudioWatch> watch(ChangeHandler onChange) = 0;
};

} // namespace zelk
