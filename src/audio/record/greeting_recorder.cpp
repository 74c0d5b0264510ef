#include "audio/record/greeting_recorder.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace zorvan::audio {

namespace {
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void PutTag(std::vector<std::uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

constexpr std::uint32_t kFmtBytes = 18;
constexpr std::uint32_t kHeaderBytes = 12 + 8 + kFmtBytes + 8;
}  // namespace

std::vector<std::uint8_t> GreetingWavHeader(std::uint32_t dataBytes) {
    std::vector<std::uint8_t> h;
    h.reserve(kHeaderBytes);
    PutTag(h, "RIFF");
    Put32(h, 4 + 8 + kFmtBytes + 8 + dataBytes + (dataBytes & 1U));
    PutTag(h, "WAVE");
    PutTag(h, "fmt ");
    Put32(h, kFmtBytes);
    Put16(h, 1);      // PCM
    Put16(h, 1);      // mono
    Put32(h, 16000);  // samples a second
    Put32(h, 32000);  // bytes a second
    Put16(h, 2);      // block alignment
    Put16(h, 16);     // bits a sample
    Put16(h, 0);      // no extra bytes follow: the chunk is the 18 bytes above
    PutTag(h, "data");
    Put32(h, dataBytes);
    return h;
}

GreetingRecorder::~GreetingRecorder() {
    if (recording()) Stop();
}

bool GreetingRecorder::Start(std::size_t device, const std::string& path, std::string* error) {
    if (recording()) Stop();
    const std::string temporary = TemporaryPath(path);
    {
        std::lock_guard lock(mutex_);
        file_ = std::fopen(temporary.c_str(), "wb");
        if (file_ == nullptr) {
            if (error != nullptr) *error = "Cannot create " + temporary + ": " + std::strerror(errno);
            return false;
        }
        const auto header = GreetingWavHeader(0);
        if (std::fwrite(header.data(), 1, header.size(), file_) != header.size()) {
            if (error != nullptr) *error = "Cannot write " + temporary + ": " + std::strerror(errno);
            std::fclose(file_);
            file_ = nullptr;
            std::remove(temporary.c_str());
            return false;
        }
        path_ = path;
        bytes_ = 0;
        failed_ = false;
        recording_ = true;
    }
    if (!source_.Start(device, [this](const std::int16_t* s, std::size_t n) { Write(s, n); }, error)) {
        std::lock_guard lock(mutex_);
        std::fclose(file_);
        file_ = nullptr;
        recording_ = false;
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

void GreetingRecorder::Write(const std::int16_t* samples, std::size_t count) {
    std::lock_guard lock(mutex_);
    if (file_ == nullptr || failed_) return;
    // The file is little-endian, as the samples are on every machine this runs on.
    if (std::fwrite(samples, sizeof(std::int16_t), count, file_) != count) {
        failed_ = true;
        return;
    }
    bytes_ += count * sizeof(std::int16_t);
}

bool GreetingRecorder::Stop(std::string* error) {
    if (!recording()) return false;
    source_.Stop();
    std::lock_guard lock(mutex_);
    recording_ = false;
    const std::string temporary = TemporaryPath(path_);
    const auto dataBytes = static_cast<std::uint32_t>(std::min<std::uint64_t>(bytes_, 0xFFFFFFF0U));
    bool ok = !failed_;
    if (ok && (dataBytes & 1U) != 0) ok = std::fputc(0, file_) != EOF;
    const auto header = GreetingWavHeader(dataBytes);
    ok = ok && std::fseek(file_, 0, SEEK_SET) == 0 &&
         std::fwrite(header.data(), 1, header.size(), file_) == header.size() && std::fflush(file_) == 0;
    const int savedErrno = errno;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    std::error_code ec;
    if (ok) std::filesystem::rename(temporary, path_, ec);
    if (!ok || ec) {
        if (error != nullptr) {
            *error = "The recording could not be saved as " + path_ + ": " +
                     (ec ? ec.message() : std::string(std::strerror(savedErrno)));
        }
        std::filesystem::remove(temporary, ec);
        return false;
    }
    return true;
}

bool GreetingRecorder::recording() const {
    std::lock_guard lock(mutex_);
    return recording_;
}

std::uint64_t GreetingRecorder::bytesRecorded() const {
    std::lock_guard lock(mutex_);
    return bytes_;
}

}  // namespace zorvan::audio
