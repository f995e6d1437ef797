#pragma once

#include "asr/audio_capture.h"
#include "core/task.h"

#include <string>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace zelk::test {

// Starts a capture and keeps what comes back: the answer of start() and every
// chunk. The record outlives the probe, since an answer may come after a test.
class CaptureProbe {
public:
    struct Record {
        std::optional<AudioStreamFormat> format;
        std::optional<CaptureError::Case> captureError;
        std::optional<std::string> inputError; // AudioInputError::what()
        bool answered = false;
        std::mutex mutex;
        std::vector<float> samples;
        std::vector<std::size_t> chunkSizes;
        std::vector<float> levels;
    };

    void start(AudioCapture& capture, double timeout) {
        [](std::shared_ptr<Record> r, AudioCapture* capture, double timeout) -> Detached {
            try {
                // Named first: GCC 12 destroys a temporary inside co_await twice.
                AudioCapture::ChunkHandler onChunk = [r](std::vector<float> s, float level) {
                    std::lock_guard lock(r->mutex);
                    r->samples.insert(r->samples.end(), s.begin(), s.end());
                    r->chunkSizes.push_back(s.size());
                    r->levels.push_back(level);
                };
                r->format = co_await capture->start(std::move(onChunk), timeout);
            } catch (const CaptureError& e) {
                r->captureError = e.errorCase();
            } catch (const AudioInputError& e) {
                r->inputError = e.what();
            }
            r->answered = true;
        }(m_record, &capture, timeout);
    }

    bool answered() const { return m_record->answered; }
    const std::optional<AudioStreamFormat>& format() const { return m_record->format; }
    bool failed() const { return m_record->captureError || m_record->inputError; }
    std::optional<CaptureError::Case> captureError() const { return m_record->captureError; }
    std::optional<std::string> inputError() const { return m_record->inputError; }

    std::size_t sampleCount() const {
        std::lock_guard lock(m_record->mutex);
        return m_record->samples.size();
    }
    std::vector<float> samples() const {
        std::lock_guard lock(m_record->mutex);
        return m_record->samples;
    }
    std::vector<std::size_t> chunkSizes() const {
        std::lock_guard lock(m_record->mutex);
        return m_record->chunkSizes;
    }
    std::vector<float> levels() const {
        std::lock_guard lock(m_record->mutex);
        return m_record->levels;
    }
private:
    std::shared_ptr<Record> m_record = std::make_shared<Record>();
};

} // namespace zelk::test
