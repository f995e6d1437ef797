#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace zelk::test {

// A private PulseAudio daemon for one test: its own runtime folder and socket, a
// null sink, and a microphone "testmic" (48 kHz mono s16) fed through a FIFO.
class PulseDaemon {
public:
    PulseDaemon();
    ~PulseDaemon();

    // Empty when the daemon runs; otherwise why it could not start.
    const QString& failure() const { return m_failure; }
    QString server() const; // "unix:<socket>"
    QString micFifo() const;

    // Runs pactl against this daemon; answers its standard output (empty on failure).
    QByteArray pactl(const QStringList& args, bool* ok = nullptr) const;
    // Writes 16-bit samples into the microphone FIFO (blocks until written).
    bool feed(const QByteArray& s16le) const;
    void suspend();
    void resume();

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_failure;
    bool m_suspended = false;
};

// Speech at 48 kHz mono s16le made with espeak-ng and sox, and the same speech
// as sox converts it to 16 kHz float; empty when the tools are missing.
struct SpeechSample {
    QByteArray pcm48k;
    std::vector<float> reference16k;
    static const SpeechSample& get();
};

} // namespace zelk::test
