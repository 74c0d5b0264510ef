#include "audio/greeting/mp3_decoder.h"

#include <mad.h>

#include <cstring>

namespace zorvan::audio {

struct Mp3Decoder::Mad {
    mad_stream stream{};
    mad_frame frame{};
    mad_synth synth{};
    Mad() {
        mad_stream_init(&stream);
        mad_frame_init(&frame);
        mad_synth_init(&synth);
    }
    ~Mad() {
        mad_synth_finish(&synth);
        mad_frame_finish(&frame);
        mad_stream_finish(&stream);
    }
};

Mp3Decoder::Mp3Decoder() : mad_(std::make_unique<Mad>()) {}
Mp3Decoder::~Mp3Decoder() = default;

std::uint8_t* Mp3Decoder::inputSpace() { return input_ + wantedAt_; }

void Mp3Decoder::InputRead(std::size_t bytes) {
    if (bytes > wanted_) bytes = wanted_;
    inputLength_ = wantedAt_ + bytes;
    if (bytes < wanted_) {
        // The end of the file: libmad needs zero bytes behind the last frame
        // to decode it.
        std::memset(input_ + inputLength_, 0, kGuardBytes);
        inputLength_ += kGuardBytes;
        endOfFile_ = true;
    }
    mad_stream_buffer(&mad_->stream, input_, inputLength_);
    mad_->stream.error = MAD_ERROR_NONE;
    needInput_ = false;
}

Mp3Decoder::Result Mp3Decoder::Decode() {
    if (delivered_) {
        outputBytes_ = 0;
        delivered_ = false;
    }
    // Triangular dither: a fresh generator on every call.
    std::uint32_t x = 0xA8B9FF7EU;
    for (;;) {
        if (needInput_) {
            if (endOfFile_) {
                delivered_ = true;
                return kEndOfInput;
            }
            // Keep what libmad has not used and ask for the rest of the buffer.
            std::size_t remainder = 0;
            if (mad_->stream.next_frame != nullptr) {
                remainder = static_cast<std::size_t>(input_ + inputLength_ - mad_->stream.next_frame);
                if (remainder >= kInputBytes) remainder = 0;  // no frame in a whole buffer: drop it
                std::memmove(input_, mad_->stream.next_frame, remainder);
            }
            wantedAt_ = remainder;
            wanted_ = kInputBytes - remainder;
            return kNeedInput;
        }
        if (mad_frame_decode(&mad_->frame, &mad_->stream) != 0) {
            if (mad_->stream.error == MAD_ERROR_BUFLEN) {
                needInput_ = true;
                continue;
            }
            return MAD_RECOVERABLE(mad_->stream.error) ? kSkipped : kError;
        }
        mad_synth_frame(&mad_->synth, &mad_->frame);
        const mad_pcm& pcm = mad_->synth.pcm;
        sampleRate_ = static_cast<int>(pcm.samplerate);
        channels_ = pcm.channels;
        // A full block is delivered before it could overflow (below); the
        // bound only guards against a stream that breaks that.
        std::size_t at = outputBytes_ / 2;
        for (unsigned i = 0; i < pcm.length && at < kOutputBytes / 2; ++i) {
            for (unsigned c = 0; c < pcm.channels && c < 2 && at < kOutputBytes / 2; ++c) {
                const std::uint32_t old = x;
                x = x * 1664525U + 1013904223U;
                std::int64_t v = static_cast<std::int64_t>(pcm.samples[c][i]) + static_cast<std::int64_t>(x & 0x1FFF) -
                                 static_cast<std::int64_t>(old & 0x1FFF) + 4096;
                if (v < -0x10000000) v = -0x10000000;
                if (v > 0x0FFFFFFF) v = 0x0FFFFFFF;
                output_[at++] = static_cast<std::int16_t>(v >> 13);
            }
        }
        outputBytes_ = at * 2;
        // Short frames go at once; otherwise the block fills until fewer than
        // 1152 bytes are left (exactly full for 1152-sample frames).
        if (pcm.length < 1152 || kOutputBytes - outputBytes_ < 1152) {
            delivered_ = true;
            return kOutputReady;
        }
    }
}

}  // namespace zorvan::audio
