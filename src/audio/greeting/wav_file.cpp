#include "audio/greeting/wav_file.h"

#include <cmath>
#include <cstring>

namespace zorvan::audio {

namespace {

std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

// G.711 expansions (ITU-T G.711), to the 16-bit range.
std::int16_t MuLawToLinear(std::uint8_t u) {
    u = static_cast<std::uint8_t>(~u);
    int t = ((u & 0x0F) << 3) + 0x84;
    t <<= (u & 0x70) >> 4;
    return static_cast<std::int16_t>((u & 0x80) != 0 ? 0x84 - t : t - 0x84);
}

std::int16_t ALawToLinear(std::uint8_t a) {
    a ^= 0x55;
    int t = (a & 0x0F) << 4;
    const int segment = (a & 0x70) >> 4;
    if (segment == 0) {
        t += 8;
    } else {
        t = (t + 0x108) << (segment - 1);
    }
    return static_cast<std::int16_t>((a & 0x80) != 0 ? t : -t);
}

std::int16_t FromFloat(double v) {
    if (std::isnan(v)) return 0;
    const double scaled = std::round(v * 32768.0);
    if (scaled >= 32767.0) return 32767;
    if (scaled <= -32768.0) return -32768;
    return static_cast<std::int16_t>(scaled);
}

std::string TagName(std::uint16_t tag) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(tag));
    return text;
}

}  // namespace

WavFile::~WavFile() { Close(); }

void WavFile::Close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    format_ = WavFormat{};
    dataSize_ = dataLeft_ = 0;
}

bool WavFile::Fail(std::string why) {
    Close();
    error_ = std::move(why);
    return false;
}

bool WavFile::Open(const std::string& path) {
    Close();
    error_.clear();
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr) return Fail(std::string("The file cannot be opened: ") + std::strerror(errno) + ".");
    std::uint8_t header[12];
    if (std::fread(header, 1, sizeof header, file_) != sizeof header || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "WAVE", 4) != 0) {
        return Fail("The file is not a WAV file.");
    }
    // Sub-chunks are word aligned; "data" is looked for after "fmt ".
    const auto findChunk = [this](const char* id, std::uint32_t& size) {
        std::uint8_t chunk[8];
        while (std::fread(chunk, 1, sizeof chunk, file_) == sizeof chunk) {
            size = Le32(chunk + 4);
            if (std::memcmp(chunk, id, 4) == 0) return true;
            if (std::fseek(file_, static_cast<long>(size) + (size & 1), SEEK_CUR) != 0) return false;
        }
        return false;
    };
    std::uint32_t fmtSize = 0;
    if (!findChunk("fmt ", fmtSize)) return Fail("The WAV file has no format chunk.");
    // Up to the sub-format of WAVE_FORMAT_EXTENSIBLE (40 bytes).
    std::uint8_t fmt[40] = {};
    const std::size_t wanted = fmtSize < sizeof fmt ? fmtSize : sizeof fmt;
    if (fmtSize < 16 || std::fread(fmt, 1, wanted, file_) != wanted ||
        std::fseek(file_, static_cast<long>(fmtSize - wanted + (fmtSize & 1)), SEEK_CUR) != 0) {
        return Fail("The WAV file's format chunk is damaged.");
    }
    format_.formatTag = Le16(fmt);
    format_.channels = Le16(fmt + 2);
    format_.sampleRate = Le32(fmt + 4);
    format_.averageBytesPerSecond = Le32(fmt + 8);
    format_.blockAlign = Le16(fmt + 12);
    format_.bitsPerSample = Le16(fmt + 14);
    format_.extraSize = Le16(fmt + 16);
    if (format_.formatTag == wavtag::kExtensible) {
        if (wanted < 26) return Fail("The WAV file's format chunk is damaged.");
        format_.formatTag = Le16(fmt + 24);  // the first two bytes of the sub-format GUID
    }
    std::uint32_t dataSize = 0;
    if (!findChunk("data", dataSize)) return Fail("The WAV file has no audio data chunk.");
    // A writer that streamed the file may have left the size open.
    const long start = std::ftell(file_);
    if (start >= 0 && std::fseek(file_, 0, SEEK_END) == 0) {
        const long end = std::ftell(file_);
        if (end >= start && static_cast<unsigned long>(end - start) < dataSize) {
            dataSize = static_cast<std::uint32_t>(end - start);
        }
        std::fseek(file_, start, SEEK_SET);
    }
    dataSize_ = dataLeft_ = dataSize;
    return CheckFormat();
}

bool WavFile::CheckFormat() {
    const WavFormat f = format_;
    const std::uint16_t bits = f.bitsPerSample;
    switch (f.formatTag) {
        case wavtag::kPcm:
            if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
                return Fail("The WAV file has " + std::to_string(bits) +
                            "-bit samples; 8-, 16-, 24- and 32-bit PCM can be played.");
            }
            break;
        case wavtag::kFloat:
            if (bits != 32 && bits != 64) {
                return Fail("The WAV file has " + std::to_string(bits) + "-bit floating-point samples.");
            }
            break;
        case wavtag::kALaw:
        case wavtag::kMuLaw:
            if (bits != 8) return Fail("The WAV file's G.711 samples are not 8 bits wide.");
            break;
        default:
            return Fail("The WAV file is compressed (format " + TagName(f.formatTag) +
                        "); save it as PCM, A-law or mu-law.");
    }
    if (f.channels != 1 && f.channels != 2) {
        return Fail("The WAV file has " + std::to_string(f.channels) +
                    " channels; mono and stereo greetings can be played.");
    }
    if (f.sampleRate < kMinRate || f.sampleRate > kMaxRate) {
        return Fail("The WAV file's sample rate of " + std::to_string(f.sampleRate) + " Hz is out of range.");
    }
    if (f.blockAlign != f.channels * (bits / 8)) return Fail("The WAV file's format chunk is damaged.");
    return true;
}

std::size_t WavFile::ReadFrames(std::int16_t* into, std::size_t frames) {
    if (file_ == nullptr || format_.blockAlign == 0) return 0;
    // Whole frames only; chunks after the data (lists, cue points) are not audio.
    const std::size_t frameBytes = format_.blockAlign;
    if (frames > dataLeft_ / frameBytes) frames = dataLeft_ / frameBytes;
    raw_.resize(frames * frameBytes);
    const std::size_t got = std::fread(raw_.data(), 1, raw_.size(), file_) / frameBytes;
    dataLeft_ -= static_cast<std::uint32_t>(got * frameBytes);
    const std::size_t samples = got * format_.channels;
    const std::uint8_t* p = raw_.data();
    switch (format_.formatTag) {
        case wavtag::kPcm:
            switch (format_.bitsPerSample) {
                case 8:
                    for (std::size_t i = 0; i < samples; ++i) into[i] = static_cast<std::int16_t>((p[i] - 128) << 8);
                    break;
                case 16:
                    for (std::size_t i = 0; i < samples; ++i) into[i] = static_cast<std::int16_t>(Le16(p + 2 * i));
                    break;
                default: {  // 24 and 32 bits: the top 16 bits
                    const std::size_t width = format_.bitsPerSample / 8;
                    for (std::size_t i = 0; i < samples; ++i) {
                        into[i] = static_cast<std::int16_t>(Le16(p + width * i + width - 2));
                    }
                    break;
                }
            }
            break;
        case wavtag::kFloat:
            for (std::size_t i = 0; i < samples; ++i) {
                if (format_.bitsPerSample == 32) {
                    float v = 0;
                    const std::uint32_t bitsValue = Le32(p + 4 * i);
                    std::memcpy(&v, &bitsValue, 4);
                    into[i] = FromFloat(v);
                } else {
                    double v = 0;
                    const std::uint64_t bitsValue =
                        Le32(p + 8 * i) | static_cast<std::uint64_t>(Le32(p + 8 * i + 4)) << 32;
                    std::memcpy(&v, &bitsValue, 8);
                    into[i] = FromFloat(v);
                }
            }
            break;
        case wavtag::kALaw:
            for (std::size_t i = 0; i < samples; ++i) into[i] = ALawToLinear(p[i]);
            break;
        case wavtag::kMuLaw:
            for (std::size_t i = 0; i < samples; ++i) into[i] = MuLawToLinear(p[i]);
            break;
        default:
            return 0;
    }
    return got;
}

}  // namespace zorvan::audio
