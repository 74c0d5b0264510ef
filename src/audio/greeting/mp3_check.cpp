#include "audio/greeting/mp3_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

namespace zorvan::audio {

namespace {

constexpr int kBitrates[2][3][16] = {
    // MPEG-1: layer I, II, III
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    // MPEG-2 and 2.5: layer I, II, III
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
};
constexpr int kSampleRates[3] = {44100, 48000, 32000};

struct FrameHeader {
    int version = 0;  // 1, 2, 25
    int layer = 0;
    int bitrate = 0;
    int sampleRate = 0;
    int channels = 0;
    int length = 0;  // bytes, header included
    int samplesPerFrame = 0;
};

std::optional<FrameHeader> ParseHeader(const std::uint8_t* p) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return std::nullopt;
    const int versionBits = (p[1] >> 3) & 3;
    const int layerBits = (p[1] >> 1) & 3;
    const int bitrateIndex = p[2] >> 4;
    const int rateIndex = (p[2] >> 2) & 3;
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) {
        return std::nullopt;  // reserved values, or free format
    }
    FrameHeader h;
    h.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
    h.layer = 4 - layerBits;
    h.bitrate = kBitrates[h.version == 1 ? 0 : 1][h.layer - 1][bitrateIndex];
    h.sampleRate = kSampleRates[rateIndex] / (h.version == 1 ? 1 : h.version == 2 ? 2 : 4);
    h.channels = ((p[3] >> 6) & 3) == 3 ? 1 : 2;
    const int padding = (p[2] >> 1) & 1;
    if (h.layer == 1) {
        h.samplesPerFrame = 384;
        h.length = (12 * h.bitrate * 1000 / h.sampleRate + padding) * 4;
    } else {
        h.samplesPerFrame = (h.layer == 3 && h.version != 1) ? 576 : 1152;
        h.length = h.samplesPerFrame / 8 * h.bitrate * 1000 / h.sampleRate + padding;
    }
    return h;
}

std::uint32_t Be32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}
std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[3]) << 24 | static_cast<std::uint32_t>(p[2]) << 16 |
           static_cast<std::uint32_t>(p[1]) << 8 | p[0];
}
std::int64_t SyncSafe(const std::uint8_t* p) {
    return (static_cast<std::int64_t>(p[0] & 0x7F) << 21) | ((p[1] & 0x7F) << 14) | ((p[2] & 0x7F) << 7) | (p[3] & 0x7F);
}

struct TagReadFailure {
    Mp3TagError error;
};

class File {
public:
    explicit File(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        struct stat st {};
        if (fd_ >= 0 && ::fstat(fd_, &st) == 0) size_ = st.st_size;
    }
    ~File() {
        if (fd_ >= 0) ::close(fd_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    bool ok() const { return fd_ >= 0; }
    std::int64_t size() const { return size_; }
    // Reads exactly n bytes at `at`, or throws the tag error of a failed read.
    void ReadAt(std::int64_t at, std::uint8_t* into, std::size_t n) const {
        std::size_t done = 0;
        while (done < n) {
            const ssize_t got = ::pread(fd_, into + done, n - done, at + static_cast<std::int64_t>(done));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                throw TagReadFailure{{"ReadFile", "Can't read from file.", got < 0 ? std::strerror(errno) : ""}};
            }
            done += static_cast<std::size_t>(got);
        }
    }

private:
    int fd_ = -1;
    std::int64_t size_ = 0;
};

bool Matches(const File& file, std::int64_t at, const char* magic, std::size_t n) {
    if (at < 0 || at + static_cast<std::int64_t>(n) > file.size()) return false;
    std::uint8_t bytes[16];
    file.ReadAt(at, bytes, n);
    return std::memcmp(bytes, magic, n) == 0;
}

// Tags at the start: ID3v2 (possibly several) and an APE tag with a header.
std::int64_t SkipLeadingTags(const File& file, std::int64_t start, std::int64_t end,
                             const std::function<void(const Mp3TagError&)>& onError) {
    for (;;) {
        try {
            if (Matches(file, start, "ID3", 3) && start + 10 <= end) {
                std::uint8_t h[10];
                file.ReadAt(start, h, sizeof h);
                start += 10 + SyncSafe(h + 6) + ((h[5] & 0x10) != 0 ? 10 : 0);
                continue;
            }
            if (Matches(file, start, "APETAGEX", 8) && start + 32 <= end) {
                std::uint8_t h[32];
                file.ReadAt(start, h, sizeof h);
                start += 32 + Le32(h + 12);
                continue;
            }
        } catch (const TagReadFailure& failure) {
            onError(failure.error);
        }
        return start;
    }
}

// Tags at the end, in any order: ID3v1, APE, Lyrics3 (v1 and v2), an ID3v2
// footer. A tag whose reading fails is passed over.
std::int64_t SkipTrailingTags(const File& file, std::int64_t start, std::int64_t end,
                              const std::function<void(const Mp3TagError&)>& onError) {
    bool tried[5] = {};
    for (bool found = true; found && end > start;) {
        found = false;
        for (int kind = 0; kind < 5 && !found; ++kind) {
            if (tried[kind]) continue;
            try {
                switch (kind) {
                    case 0:
                        if (end - 128 >= start && Matches(file, end - 128, "TAG", 3)) {
                            end -= 128;
                            found = true;
                        }
                        break;
                    case 1:
                        if (end - 32 >= start && Matches(file, end - 32, "APETAGEX", 8)) {
                            std::uint8_t f[32];
                            file.ReadAt(end - 32, f, sizeof f);
                            // The size counts the footer itself: less than that
                            // would leave the tag where it is, read again forever.
                            if (Le32(f + 12) < 32) throw TagReadFailure{{"", "Corrupt APE Tag", ""}};
                            const std::int64_t size = Le32(f + 12) + ((Le32(f + 20) & 0x80000000U) != 0 ? 32 : 0);
                            end = end - size < start ? start : end - size;
                            found = true;
                        }
                        break;
                    case 2:
                        if (end - 15 >= start && Matches(file, end - 9, "LYRICS200", 9)) {
                            std::uint8_t digits[6];
                            file.ReadAt(end - 15, digits, sizeof digits);
                            std::int64_t size = 0;
                            for (const std::uint8_t d : digits) {
                                if (d < '0' || d > '9') throw TagReadFailure{{"", "Corrupt Lyrics3 Tag", ""}};
                                size = size * 10 + (d - '0');
                            }
                            const std::int64_t begin = end - 15 - size;
                            if (begin < start || !Matches(file, begin, "LYRICSBEGIN", 11)) {
                                throw TagReadFailure{{"", "Corrupt Lyrics3 Tag", ""}};
                            }
                            end = begin;
                            found = true;
                        }
                        break;
                    case 3:
                        if (end - 9 >= start && Matches(file, end - 9, "LYRICSEND", 9)) {
                            // Version 1 has no size: its beginning lies within 5100 bytes.
                            const std::int64_t from = end - 9 - 5100 < start ? start : end - 9 - 5100;
                            std::vector<std::uint8_t> area(static_cast<std::size_t>(end - 9 - from));
                            file.ReadAt(from, area.data(), area.size());
                            std::int64_t begin = -1;
                            for (std::size_t i = 0; i + 11 <= area.size(); ++i) {
                                if (std::memcmp(area.data() + i, "LYRICSBEGIN", 11) == 0) {
                                    begin = from + static_cast<std::int64_t>(i);
                                    break;
                                }
                            }
                            if (begin < 0) throw TagReadFailure{{"", "Corrupt Lyrics3 Tag", ""}};
                            end = begin;
                            found = true;
                        }
                        break;
                    case 4:
                        if (end - 10 >= start && Matches(file, end - 10, "3DI", 3)) {
                            std::uint8_t f[10];
                            file.ReadAt(end - 10, f, sizeof f);
                            const std::int64_t size = 20 + SyncSafe(f + 6);
                            end = end - size < start ? start : end - size;
                            found = true;
                        }
                        break;
                }
            } catch (const TagReadFailure& failure) {
                tried[kind] = true;
                onError(failure.error);
            }
        }
    }
    return end;
}

}  // namespace

std::string Mp3TagErrorText(const std::string& path, const Mp3TagError& error) {
    std::string text;
    if (!error.function.empty()) text += error.function + ": ";
    text += "'" + path + "'\n" + error.text;
    if (!error.systemMessage.empty()) text += "\n" + error.systemMessage;
    return text;
}

Mp3Info CheckMp3(const std::string& path, const std::function<void(const Mp3TagError&)>& onTagError) {
    Mp3Info info;
    const File file(path);
    if (!file.ok()) return info;
    const std::int64_t start = SkipLeadingTags(file, 0, file.size(), onTagError);
    const std::int64_t end = SkipTrailingTags(file, start, file.size(), onTagError);
    if (end - start < 4) return info;

    // The first frame: a valid header followed by another valid header of the
    // same stream where the next frame should begin (or the end of the audio).
    try {
        constexpr std::size_t kBlock = 64 * 1024;
        std::vector<std::uint8_t> block(kBlock + 4);
        std::optional<FrameHeader> first;
        std::int64_t at = start;
        for (std::int64_t base = start; base + 4 <= end && !first; base += kBlock) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(kBlock + 4, end - base));
            file.ReadAt(base, block.data(), n);
            for (std::size_t i = 0; i + 4 <= n && i < kBlock; ++i) {
                const auto header = ParseHeader(block.data() + i);
                if (!header) continue;
                const std::int64_t next = base + static_cast<std::int64_t>(i) + header->length;
                if (next + 4 <= end) {
                    std::uint8_t following[4];
                    file.ReadAt(next, following, sizeof following);
                    const auto second = ParseHeader(following);
                    if (!second || second->version != header->version || second->layer != header->layer ||
                        second->sampleRate != header->sampleRate) {
                        continue;
                    }
                } else if (next > end) {
                    continue;
                }
                first = header;
                at = base + static_cast<std::int64_t>(i);
                break;
            }
        }
        if (!first) return info;
        info.audioStart = at;
        info.audioEnd = end;
        info.version = first->version;
        info.layer = first->layer;
        info.sampleRate = first->sampleRate;
        info.channels = first->channels;
        info.bitrate = first->bitrate;
        std::int64_t audioBytes = end - at;
        info.byteRate = first->bitrate * 1000.0 / 8.0;

        // A Xing/Info header sits after the side information, a VBRI header 32
        // bytes after the frame header.
        std::vector<std::uint8_t> frame(static_cast<std::size_t>(std::min<std::int64_t>(first->length, end - at)));
        file.ReadAt(at, frame.data(), frame.size());
        const int sideInfo = first->version == 1 ? (first->channels == 1 ? 17 : 32) : (first->channels == 1 ? 9 : 17);
        std::int64_t frames = 0;
        std::int64_t vbrBytes = 0;
        const std::size_t xing = 4 + static_cast<std::size_t>(sideInfo);
        if (frame.size() >= xing + 8 &&
            (std::memcmp(frame.data() + xing, "Xing", 4) == 0 || std::memcmp(frame.data() + xing, "Info", 4) == 0)) {
            info.hasVbrHeader = true;
            const std::uint32_t flags = Be32(frame.data() + xing + 4);
            std::size_t field = xing + 8;
            if ((flags & 1) != 0 && frame.size() >= field + 4) frames = Be32(frame.data() + field), field += 4;
            if ((flags & 2) != 0 && frame.size() >= field + 4) vbrBytes = Be32(frame.data() + field);
        } else if (frame.size() >= 36 + 18 && std::memcmp(frame.data() + 36, "VBRI", 4) == 0) {
            info.hasVbrHeader = true;
            vbrBytes = Be32(frame.data() + 36 + 10);
            frames = Be32(frame.data() + 36 + 14);
        }
        if (info.hasVbrHeader && frames > 0) {
            if (vbrBytes > 0) audioBytes = vbrBytes;
            const double seconds = static_cast<double>(frames) * first->samplesPerFrame / first->sampleRate;
            info.byteRate = static_cast<double>(audioBytes) / seconds;
        }
        info.seconds = info.byteRate > 0 ? static_cast<std::int64_t>(static_cast<double>(audioBytes) / info.byteRate) : 0;
        info.playable = static_cast<std::int64_t>(info.sampleRate) * info.channels * info.seconds * 2 != 0;
    } catch (const TagReadFailure&) {
        // Errors while the frames are searched end the check silently.
        info.playable = false;
    }
    return info;
}

}  // namespace zorvan::audio
