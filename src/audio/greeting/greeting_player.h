#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/greeting/pcm_ring_buffer.h"
#include "audio/greeting/resampler.h"
#include "platform/event.h"
#include "platform/wait_event.h"

namespace zorvan {
class EventLoop;
class Prompts;
}  // namespace zorvan

namespace zorvan::audio {

class InputPortSink;
class WavFile;

// Plays a WAV or MP3 greeting into the call: a thread of its own reads the
// file, turns it into the stream format and sends it to the call input,
// paced to real time (about one second ahead at most). The end is reported
// to the notify target unless the playback was stopped. The program's one
// player belongs to the call controller.
class GreetingPlayer {
public:
    GreetingPlayer(EventLoop& loop, InputPortSink& sink, Prompts& prompts, TargetId notifyWindow);
    ~GreetingPlayer();
    GreetingPlayer(const GreetingPlayer&) = delete;
    GreetingPlayer& operator=(const GreetingPlayer&) = delete;

    // UI thread. Play stops a running playback first (without a message);
    // false only for an empty path. A file it cannot play is refused on the
    // playback thread with a message, and the end is reported as usual.
    bool Play(const std::string& path);
    // Ends the playback at any moment after Play: a pacing pause is cut
    // short, nothing more is sent and nothing is posted.
    bool Stop();
    // Why a greeting file cannot be played; empty when it can. Shows nothing.
    static std::string Refusal(const std::string& path);
    void ShowRefusal(const std::string& file, const std::string& why);

    bool busy() const { return busy_; }
    bool isMp3() const { return isMp3_; }
    std::string path() const;
    TargetId notifyWindow() const { return notify_; }

private:
    void PlaybackThread();
    void PlayWav(WavFile& wav);
    void PlayMp3(const std::string& file);
    void SendMp3Block(const std::int16_t* samples, std::size_t count, int channels, int rate);
    bool SendMp3Chunk(const std::uint8_t* bytes);

    EventLoop& loop_;
    InputPortSink& sink_;
    Prompts& prompts_;
    TargetId notify_;

    mutable std::mutex pathMutex_;
    std::string path_;
    std::atomic<bool> busy_{false};
    std::atomic<bool> isMp3_{false};
    std::atomic<bool> notifyOnEnd_{false};
    std::atomic<bool> stop_{false};
    WaitEvent wake_;  // cuts the pauses short at Stop and at destruction
    std::thread thread_;

    Resampler wavResampler_;
    Resampler mp3Resampler_;
    std::vector<std::int16_t> scratch_;
    PcmRingBuffer ring_;
    int mp3Chunks_ = 0;
    std::int64_t mp3Mark_ = 0;
};

}  // namespace zorvan::audio
