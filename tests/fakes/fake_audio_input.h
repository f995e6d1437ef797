#pragma once

#include "platform/audio_input.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <vector>

namespace zelk::test {

// A sound server in memory: sources with formats, recordings whose opening can be
// held back, blocks pushed by the test, and change events sent by the test.
class FakeAudioInput final : public AudioInput {
public:
    struct Source {
        AudioSource info;
        AudioStreamFormat format;
        bool refuseSelect = false; // sourceFormat() of this source fails
    };

    FakeAudioInput() = default;

    void addSource(Source s) {
        std::lock_guard lock(m_mutex);
        m_sources.push_back(std::move(s));
    }
    void setDefault(QString name) {
        std::lock_guard lock(m_mutex);
        m_default = std::move(name);
    }
    // While held, record() waits until release().
    void holdOpenings() {
        std::lock_guard lock(m_mutex);
        m_hold = true;
    }
    void release() {
        {
            std::lock_guard lock(m_mutex);
            m_hold = false;
        }
        m_wake.notify_all();
    }
    void refuseRecording(QString why) {
        std::lock_guard lock(m_mutex);
        m_refuseRecord = std::move(why);
    }

    // Sends one block to every live recording (on the calling thread).
    void deliver(const std::vector<float>& interleaved, int channels) {
        std::lock_guard lock(m_mutex);
        for (auto& [id, handler] : m_recordings)
            handler(interleaved.data(), interleaved.size() / std::size_t(channels));
    }
    void announce(AudioChange change) {
        std::map<int, ChangeHandler> copy;
        {
            std::lock_guard lock(m_mutex);
            copy = m_watchers;
        }
        for (auto& [id, handler] : copy)
            handler(change);
    }

    int liveRecordings() const {
        std::lock_guard lock(m_mutex);
        return int(m_recordings.size());
    }
    int openingsWaiting() const {
        std::lock_guard lock(m_mutex);
        return m_waiting;
    }
    // Sources asked for by record(), in order ("" = the default).
    QStringList recordedSources() const {
        std::lock_guard lock(m_mutex);
        return m_recordedSources;
    }

    QList<AudioSource> sources() override {
        std::lock_guard lock(m_mutex);
        QList<AudioSource> list;
        for (const auto& s : m_sources)
            list.append(s.info);
        return list;
    }
    AudioStreamFormat sourceFormat(const QString& name) override {
        std::lock_guard lock(m_mutex);
        const QString wanted = name.isEmpty() ? m_default : name;
        if (wanted.isEmpty())
            return {};
        for (const auto& s : m_sources)
            if (s.info.name == wanted) {
                if (s.refuseSelect)
                    throw AudioInputError("Access denied");
                return s.format;
            }
        throw AudioInputError("No such entity");
    }
    std::unique_ptr<AudioRecording> record(const QString& source, AudioStreamFormat, std::size_t,
                                           BlockHandler onBlock) override {
        std::unique_lock lock(m_mutex);
        m_recordedSources.append(source);
        ++m_waiting;
        m_wake.wait(lock, [this] { return !m_hold; });
        --m_waiting;
        if (!m_refuseRecord.isEmpty())
            throw AudioInputError(m_refuseRecord.toStdString());
        const int id = m_next++;
        m_recordings.emplace(id, std::move(onBlock));
        return std::make_unique<Handle>(this, id, &FakeAudioInput::m_recordings);
    }
    std::unique_ptr<AudioWatch> watch(ChangeHandler onChange) override {
        std::lock_guard lock(m_mutex);
        const int id = m_next++;
        m_watchers.emplace(id, std::move(onChange));
        return std::make_unique<Handle>(this, id, &FakeAudioInput::m_watchers);
    }

    int liveWatches() const {
        std::lock_guard lock(m_mutex);
        return int(m_watchers.size());
    }

private:
    // Removes its entry (a recording or a watch) on destruction.
    class Handle final : public AudioRecording, public AudioWatch {
    public:
        template <typename Map>
        Handle(FakeAudioInput* owner, int id, Map FakeAudioInput::*map)
            : m_remove([owner, id, map] {
                  std::lock_guard lock(owner->m_mutex);
                  (owner->*map).erase(id);
              }) {}
        ~Handle() override { m_remove(); }

    private:
        std::function<void()> m_remove;
    };

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<Source> m_sources;
    QString m_default;
    bool m_hold = false;
    int m_waiting = 0;
    QString m_refuseRecord;
    QStringList m_recordedSources;
    std::map<int, BlockHandler> m_recordings;
    std::map<int, ChangeHandler> m_watchers;
    int m_next = 1;
};

} // namespace zelk::test
