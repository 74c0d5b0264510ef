#include "audio/greeting/wav_file.h"

#include <cstring>

namespace zorvan::audio {

namespace {

std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

}  // namespace

WavFile::~WavFile() { Close(); }

void WavFile::Close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    format_ = WavFormat{};
    dataSize_ = dataLeft_ = 0;
}

bool WavFile::Open(const std::string& path) {
    Close();
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr) return false;
    std::uint8_t header[12];
    if (std::fread(header, 1, sizeof header, file_) != sizeof header || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "WAVE", 4) != 0) {
        Close();
        return false;
    }
    // Sub-chunks are word aligned; "data" is looked for after "fmt ".
    const auto findChunk = [this](const char* id, std::uint32_t& size) {
        std::uint8_t chunk[8];
        while (std::fread(chunk, 1, sizeof chunk, file_) == sizeof chunk) {
            size = Le32(chunk + 4);
            if (std::memcmp(chunk, id, 4) == 0) return true;
            if (std::fseek(file_, static_cast<long>(size + (size & 1)), SEEK_CUR) != 0) return false;
        }
        return false;
    };
    std::uint32_t fmtSize = 0;
    if (!findChunk("fmt ", fmtSize)) {
        Close();
        return false;
    }
    std::uint8_t fmt[18] = {};
    const std::size_t wanted = fmtSize < sizeof fmt ? fmtSize : sizeof fmt;
    if (std::fread(fmt, 1, wanted, file_) != wanted ||
        std::fseek(file_, static_cast<long>(fmtSize - wanted + (fmtSize & 1)), SEEK_CUR) != 0) {
        Close();
        return false;
    }
    format_.formatTag = Le16(fmt);
    format_.channels = Le16(fmt + 2);
    format_.sampleRate = Le32(fmt + 4);
    format_.averageBytesPerSecond = Le32(fmt + 8);
    format_.blockAlign = Le16(fmt + 12);
    format_.bitsPerSample = Le16(fmt + 14);
    format_.extraSize = Le16(fmt + 16);
    std::uint32_t dataSize = 0;
    if (!findChunk("data", dataSize)) {
        Close();
        return false;
    }
    dataSize_ = dataLeft_ = dataSize;
    return true;
}

std::size_t WavFile::Read(std::uint8_t* into, std::size_t n) {
    if (file_ == nullptr) return 0;
    // Chunks after the data (lists, cue points) are not audio.
    if (n > dataLeft_) n = dataLeft_;
    const std::size_t got = std::fread(into, 1, n, file_);
    dataLeft_ -= static_cast<std::uint32_t>(got);
    return got;
}

}  // namespace zorvan::audio
