// Fuzz target: a greeting's WAV file, from any tool or none, opened and
// read to its end as the greeting player reads it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "audio/greeting/wav_file.h"
#include "fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = zorvan::fuzz::AsFile(data, size, "greeting.wav");
    zorvan::audio::WavFile wav;
    if (!wav.Open(path)) return 0;
    const std::size_t channels = wav.format().channels;
    if (channels == 0) std::abort();
    std::vector<std::int16_t> frames(256 * channels);
    std::size_t total = 0;
    while (const std::size_t got = wav.ReadFrames(frames.data(), 256)) {
        total += got * wav.frameBytes();
        if (total > wav.dataSize() + 256 * wav.frameBytes()) std::abort();  // never past the data chunk
    }
    return 0;
}
