// Fuzz target: a greeting's MP3 file: its check (tags, first frame, byte
// rate) and its decoding, fed in pieces as the player feeds it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "audio/greeting/mp3_check.h"
#include "audio/greeting/mp3_decoder.h"
#include "fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zorvan::audio;
    const std::string path = zorvan::fuzz::AsFile(data, size, "greeting.mp3");
    CheckMp3(path, [](const Mp3TagError&) {});
    Mp3Decoder decoder;
    std::size_t at = 0;
    for (int steps = 0; steps < 100000; ++steps) {
        const Mp3Decoder::Result result = decoder.Decode();
        if (result == Mp3Decoder::kError || result == Mp3Decoder::kEndOfInput) break;
        if (result == Mp3Decoder::kNeedInput) {
            const std::size_t n = std::min(decoder.inputWanted(), size - at);
            if (n > 0) std::memcpy(decoder.inputSpace(), data + at, n);
            at += n;
            decoder.InputRead(n);
        } else if (result == Mp3Decoder::kOutputReady) {
            if (decoder.outputSamples() * 2 > Mp3Decoder::kOutputBytes) std::abort();
        }
    }
    return 0;
}
