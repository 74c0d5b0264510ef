#include "audio/greeting/greeting_player.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "audio/greeting/mp3_check.h"
#include "audio/greeting/mp3_decoder.h"
#include "audio/greeting/wav_file.h"
#include "audio/input_port_sink.h"
#include "audio/stream_format.h"
#include "platform/event_loop.h"
#include "platform/prompts.h"
#include "platform/um_events.h"

namespace zorvan::audio {

namespace {

// WAV: 102 chunks, then the rest of 994 ms; MP3: 100 chunks, then 992 ms.
constexpr int kWavBurst = 102;
constexpr std::int64_t kWavBurstMs = 994;
constexpr int kMp3Burst = 100;
constexpr std::int64_t kMp3BurstMs = 992;
constexpr std::int64_t kEndPauseMs = 500;

constexpr char kMp3Refusal[] = "The file holds less than one second of MPEG audio, or none.";

bool EndsWithMp3(const std::string& path) {
    if (path.size() < 4) return false;
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".mp3";
}

}  // namespace

GreetingPlayer::GreetingPlayer(EventLoop& loop, InputPortSink& sink, Prompts& prompts, TargetId notifyWindow)
    : loop_(loop), sink_(sink), prompts_(prompts), notify_(notifyWindow) {}

GreetingPlayer::~GreetingPlayer() {
    notifyOnEnd_ = false;
    stop_ = true;
    wake_.set();  // the pauses end at once when the player goes
    if (thread_.joinable()) thread_.join();
}

std::string GreetingPlayer::path() const {
    std::lock_guard lock(pathMutex_);
    return path_;
}

std::string GreetingPlayer::Refusal(const std::string& path) {
    if (path.empty()) return "No greeting file is chosen.";
    if (EndsWithMp3(path)) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error)) return "The file cannot be found.";
        if (!CheckMp3(path, [](const Mp3TagError&) {}).playable) return kMp3Refusal;
        return {};
    }
    WavFile wav;
    return wav.Open(path) ? std::string() : wav.error();
}

void GreetingPlayer::ShowRefusal(const std::string& file, const std::string& why) {
    prompts_.messageBox("Zorvan Dialer", "The greeting '" + file + "' cannot be played.\n" + why, PromptIcon::Error,
                        PromptButtons::Ok);
}

bool GreetingPlayer::Play(const std::string& path) {
    if (busy_) Stop();
    if (path.empty()) return false;
    // A playback that ended by itself: collected here, without a message.
    if (thread_.joinable()) {
        notifyOnEnd_ = false;
        stop_ = true;
        wake_.set();
        thread_.join();
    }
    {
        std::lock_guard lock(pathMutex_);
        path_ = path;
    }
    notifyOnEnd_ = true;
    stop_ = false;
    wake_.reset();
    // Busy from here on, so that a Stop at any moment after Play stops it.
    isMp3_ = EndsWithMp3(path);
    busy_ = true;
    thread_ = loop_.spawn([this] { PlaybackThread(); });
    return true;
}

bool GreetingPlayer::Stop() {
    if (!busy_) return false;
    notifyOnEnd_ = false;
    stop_ = true;
    wake_.set();  // a pacing pause ends at once; nothing more is sent
    if (thread_.joinable()) thread_.join();
    busy_ = false;
    isMp3_ = false;
    std::lock_guard lock(pathMutex_);
    path_.clear();
    return true;
}

void GreetingPlayer::PlaybackThread() {
    const std::string file = path();
    if (isMp3_) {
        PlayMp3(file);
        if (!stop_) loop_.sleep(kEndPauseMs, &wake_);
    } else {
        WavFile wav;
        if (wav.Open(file)) {
            PlayWav(wav);
            if (!stop_) loop_.sleep(kEndPauseMs, &wake_);
        } else {
            busy_ = false;  // nothing played: the player is free at once
            if (!stop_) ShowRefusal(file, wav.error());
        }
    }
    if (notifyOnEnd_ && notify_ != kNoTarget) loop_.post(notify_, Event{um::UM_GREETING_FINISHED, 0, 0});
}

void GreetingPlayer::PlayWav(WavFile& wav) {
    const WavFormat format = wav.format();
    const std::size_t frameBytes = wav.frameBytes();
    // Whole frames, 10 ms a read: chunk k holds frames floor(k r / 100) up
    // to floor((k + 1) r / 100), so rates like 22 050 Hz keep their pace.
    const std::uint64_t rate = format.sampleRate;
    std::vector<std::int16_t> samples((rate / 100 + 1) * format.channels);
    std::uint64_t delivered = 0;
    std::uint64_t chunkIndex = 0;
    int chunks = 0;
    std::uint64_t lastPercent = 0;
    std::int64_t mark = loop_.now();
    while (!stop_) {
        if (chunks == kWavBurst) {
            const std::int64_t rest = kWavBurstMs - (loop_.now() - mark);
            if (rest > 0) loop_.sleep(rest, &wake_);
            chunks = 0;
            mark = loop_.now();
            if (stop_) break;  // stopped during the pause: nothing more goes out
        }
        const std::size_t frames = (chunkIndex + 1) * rate / 100 - chunkIndex * rate / 100;
        ++chunkIndex;
        const std::size_t got = wav.ReadFrames(samples.data(), frames);
        if (got == 0) break;
        const auto& out = ToStreamFormat(samples.data(), got * format.channels, format.channels,
                                         static_cast<int>(format.sampleRate), wavResampler_, scratch_);
        if (!out.empty()) sink_.SendToInputPort(reinterpret_cast<const std::uint8_t*>(out.data()), out.size() * 2);
        delivered += frames * frameBytes;  // a last short read counts whole
        ++chunks;
        if (wav.dataSize() == 0) continue;  // no percentage of nothing
        const std::uint64_t percent = delivered * 100 / wav.dataSize();
        if (percent != lastPercent) {
            lastPercent = percent;
            if (notify_ != kNoTarget) {
                loop_.post(notify_, Event{um::UM_GREETING_PROGRESS, static_cast<std::uintptr_t>(percent), 0});
            }
        }
    }
    wav.Close();
    wavResampler_.Reset();
}

bool GreetingPlayer::SendMp3Chunk(const std::uint8_t* bytes) {
    if (stop_) return false;
    if (mp3Chunks_ == kMp3Burst) {
        const std::int64_t rest = kMp3BurstMs - (loop_.now() - mp3Mark_);
        if (rest > 0) loop_.sleep(rest, &wake_);
        if (stop_) return false;
        mp3Chunks_ = 0;
        mp3Mark_ = loop_.now();
    }
    sink_.SendToInputPort(bytes, kChunkBytes);
    ++mp3Chunks_;
    return true;
}

void GreetingPlayer::SendMp3Block(const std::int16_t* samples, std::size_t count, int channels, int rate) {
    if (count == 0) return;
    const auto& out = ToStreamFormat(samples, count, channels, rate, mp3Resampler_, scratch_);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(out.data());
    const std::size_t length = out.size() * 2;
    if (ring_.empty()) {
        std::size_t at = 0;
        for (; at + kChunkBytes <= length; at += kChunkBytes) {
            if (!SendMp3Chunk(bytes + at)) return;
        }
        if (!stop_ && at < length) ring_.Write(bytes + at, length - at);
        return;
    }
    ring_.Write(bytes, length);  // a block that does not fit is lost
    const std::size_t whole = ring_.length() / kChunkBytes;
    std::uint8_t chunk[kChunkBytes];
    for (std::size_t i = 0; i < whole; ++i) {
        if (stop_) return;
        if (!ring_.Read(chunk, kChunkBytes)) return;
        if (!SendMp3Chunk(chunk)) return;
    }
}

void GreetingPlayer::PlayMp3(const std::string& file) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        busy_ = false;
        ShowRefusal(file, "The file cannot be found.");
        return;
    }
    const Mp3Info info = CheckMp3(file, [&](const Mp3TagError& tagError) {
        prompts_.messageBox("MPAFile Error", Mp3TagErrorText(file, tagError), PromptIcon::Error, PromptButtons::Ok);
    });
    if (!info.playable) {
        busy_ = false;
        ShowRefusal(file, kMp3Refusal);
        return;
    }

    std::FILE* in = std::fopen(file.c_str(), "rb");
    if (in == nullptr) return;
    auto decoder = std::make_unique<Mp3Decoder>();
    mp3Chunks_ = 0;
    mp3Mark_ = loop_.now();
    while (!stop_) {
        const Mp3Decoder::Result result = decoder->Decode();
        if (result == Mp3Decoder::kNeedInput) {
            const std::size_t got = std::fread(decoder->inputSpace(), 1, decoder->inputWanted(), in);
            decoder->InputRead(got);
        } else if (result == Mp3Decoder::kOutputReady || result == Mp3Decoder::kEndOfInput) {
            SendMp3Block(decoder->output(), decoder->outputSamples(), decoder->channels(), decoder->sampleRate());
            if (result == Mp3Decoder::kEndOfInput) break;
        } else if (result == Mp3Decoder::kError) {
            break;
        }
    }
    std::fclose(in);
    ring_.Reset();
    mp3Resampler_.Reset();
}

}  // namespace zorvan::audio
