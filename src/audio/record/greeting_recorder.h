#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace zorvan::audio {

// A microphone as the greeting recorder uses it: the devices by name, and
// capture in the stream format (16 kHz, mono, 16-bit) handed to a callback
// on whatever thread the platform delivers it.
class CaptureSource {
public:
    using Samples = std::function<void(const std::int16_t* samples, std::size_t count)>;
    virtual ~CaptureSource() = default;
    virtual std::vector<std::string> Devices() = 0;
    // False, with the reason, when capture could not start.
    virtual bool Start(std::size_t device, Samples onSamples, std::string* error) = 0;
    virtual void Stop() = 0;
};

// The WAV header the recorder writes: RIFF/WAVE, an 18-byte "fmt " chunk
// (PCM, mono, 16 000 Hz, 32 000 bytes a second, alignment 2, 16 bits, an
// extra size of 0) and the "data" chunk header, sizes for `dataBytes`.
std::vector<std::uint8_t> GreetingWavHeader(std::uint32_t dataBytes);

// Records a greeting from a capture source. The samples go to a temporary
// file beside the greeting; a recording stopped properly replaces the
// greeting with it, so a failed attempt never destroys the file it was
// meant to replace.
class GreetingRecorder {
public:
    explicit GreetingRecorder(CaptureSource& source) : source_(source) {}
    ~GreetingRecorder();
    GreetingRecorder(const GreetingRecorder&) = delete;
    GreetingRecorder& operator=(const GreetingRecorder&) = delete;

    // False, with the reason, when the file or the capture could not start;
    // nothing is left behind then.
    bool Start(std::size_t device, const std::string& path, std::string* error);
    // Ends the capture, completes the header and puts the file in place.
    // False, with the reason, when that failed (the old greeting stays).
    bool Stop(std::string* error = nullptr);
    bool recording() const;
    std::uint64_t bytesRecorded() const;
    static std::string TemporaryPath(const std::string& path) { return path + ".recording"; }

private:
    void Write(const std::int16_t* samples, std::size_t count);

    CaptureSource& source_;
    mutable std::mutex mutex_;
    std::FILE* file_ = nullptr;
    std::string path_;
    std::uint64_t bytes_ = 0;
    bool failed_ = false;
    bool recording_ = false;
};

}  // namespace zorvan::audio
