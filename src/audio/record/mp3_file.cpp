#include "audio/record/mp3_file.h"

#include <lame/lame.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/prompts.h"

namespace zorvan::audio {

namespace {

// LAME's output for one MPEG-1 frame of input at most, with its margin.
constexpr int kSamplesPerChunk = 1152;
constexpr std::size_t kOutputBytes = static_cast<std::size_t>(1.25 * kSamplesPerChunk + 7200);

// The full form of a path, as the kernel will see it.
std::size_t FullLength(const std::string& fileName) {
    if (!fileName.empty() && fileName.front() == '/') return fileName.size();
    std::error_code error;
    const auto cwd = std::filesystem::current_path(error);
    return (error ? 0 : cwd.native().size() + 1) + fileName.size();
}

}  // namespace

CMp3File::~CMp3File() { Close(); }

void CMp3File::Fail(int error) {
    prompts_.messageBox("Zorvan Create Mp3 File Failed!", std::strerror(error), PromptIcon::Error, PromptButtons::Ok);
}

bool CMp3File::Open(const std::string& fileName) {
    Close();
    // A path the platform cannot hold is refused whole, never cut short.
    if (FullLength(fileName) >= PATH_MAX) {
        Fail(ENAMETOOLONG);
        return false;
    }
    error_ = 0;
    file_ = std::fopen(fileName.c_str(), "wb");
    if (file_ == nullptr) {
        Fail(errno);
        return false;
    }
    stream_ = lame_init();
    bool ok = stream_ != nullptr;
    if (ok) {
        lame_set_in_samplerate(stream_, 16000);
        lame_set_num_channels(stream_, 1);
        lame_set_preset(stream_, 4);  // the recorder's preset value; LAME knows no preset by it
        lame_set_out_samplerate(stream_, 32000);
        lame_set_mode(stream_, MONO);
        lame_set_VBR(stream_, vbr_off);
        lame_set_brate(stream_, 64);
        lame_set_original(stream_, 1);
        lame_set_copyright(stream_, 0);
        lame_set_extension(stream_, 0);
        lame_set_error_protection(stream_, 0);
        lame_set_strict_ISO(stream_, 0);
        lame_set_bWriteVbrTag(stream_, 0);
        lame_set_disable_reservoir(stream_, 1);
        ok = lame_init_params(stream_) == 0;
    }
    if (!ok) {
        // No recording; the created file stays, empty.
        if (stream_ != nullptr) lame_close(stream_);
        stream_ = nullptr;
        std::fclose(file_);
        file_ = nullptr;
        return false;
    }
    outputBuffer_.assign(kOutputBytes, 0);
    closed_ = false;
    return true;
}

bool CMp3File::Write(const CBuffer& buffer) {
    if (closed_ || file_ == nullptr || stream_ == nullptr || buffer.data == nullptr) return false;
    const int samples = buffer.size / 2;
    if (samples > kSamplesPerChunk) return false;
    std::int16_t pcm[kSamplesPerChunk];
    std::memcpy(pcm, buffer.data, static_cast<std::size_t>(samples) * 2);
    const int produced = lame_encode_buffer(stream_, pcm, pcm, samples, outputBuffer_.data(),
                                            static_cast<int>(outputBuffer_.size()));
    if (produced < 0) {
        error_ = EIO;
        return false;
    }
    return Put(outputBuffer_.data(), static_cast<std::size_t>(produced));
}

bool CMp3File::Put(const unsigned char* bytes, std::size_t n) {
    errno = 0;
    if (std::fwrite(bytes, 1, n, file_) == n) return true;
    error_ = errno != 0 ? errno : EIO;  // a full disk, a file size limit
    return false;
}

bool CMp3File::Close() {
    if (closed_) return true;
    flushBytes_ = lame_encode_flush(stream_, outputBuffer_.data(), static_cast<int>(outputBuffer_.size()));
    bool ok = flushBytes_ <= 0 || Put(outputBuffer_.data(), static_cast<std::size_t>(flushBytes_));
    encoderDelay_ = lame_get_encoder_delay(stream_);
    encoderPadding_ = lame_get_encoder_padding(stream_);
    lame_close(stream_);
    stream_ = nullptr;
    if (std::fflush(file_) != 0 && ok) {
        error_ = errno;
        ok = false;
    }
    ::fsync(fileno(file_));
    if (std::fclose(file_) != 0 && ok) {
        error_ = errno;
        ok = false;
    }
    file_ = nullptr;
    outputBuffer_.clear();
    outputBuffer_.shrink_to_fit();
    closed_ = true;
    return ok;
}

}  // namespace zorvan::audio
