#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "audio/buffer.h"

struct lame_global_struct;

namespace zorvan {
class Prompts;
}

namespace zorvan::audio {

// Where a recording's mixed chunks go.
class IWriteToFile {
public:
    virtual bool Write(const CBuffer& buffer) = 0;  // 16-bit mono samples
    virtual bool Close() = 0;
    virtual ~IWriteToFile() = default;
    // The system's error number of the last failed Write or Close.
    virtual int lastError() const { return 0; }
};

// A recording as MP3: MPEG-1 Layer III, 32 kHz, mono, 64 kbit/s constant,
// encoded by LAME chunk by chunk as the audio comes; the encoder's last
// frames and the file close happen at Close.
class CMp3File final : public IWriteToFile {
public:
    explicit CMp3File(Prompts& prompts) : prompts_(prompts) {}
    ~CMp3File() override;
    CMp3File(const CMp3File&) = delete;
    CMp3File& operator=(const CMp3File&) = delete;

    // Creates (or truncates) the file; a file that cannot be created is
    // reported in a message box with the system's message.
    bool Open(const std::string& fileName);
    bool Write(const CBuffer& buffer) override;
    // False when the encoder's last frames or the file could not be written.
    bool Close() override;
    int lastError() const override { return error_; }
    bool closed() const { return closed_; }
    // What the encoder added to the last file it closed, in output samples:
    // its fixed delay at the start and the padding to the last whole frame.
    int encoderDelay() const { return encoderDelay_; }
    int encoderPadding() const { return encoderPadding_; }

private:
    void Fail(int error);
    bool Put(const unsigned char* bytes, std::size_t n);

    Prompts& prompts_;
    std::FILE* file_ = nullptr;
    std::vector<unsigned char> outputBuffer_;
    lame_global_struct* stream_ = nullptr;
    int flushBytes_ = 0;
    int encoderDelay_ = 0;
    int encoderPadding_ = 0;
    bool closed_ = true;
    int error_ = 0;
};

}  // namespace zorvan::audio
