#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zorvan::tools {

// Reads a PCM WAV file (8, 16, 24 or 32 bit, any rate and channel count)
// and converts it to what Skype streams: 16 kHz, mono, 16-bit samples.
bool LoadWavAs16kMono(const std::string& path, std::vector<std::int16_t>& samples, std::string& error);

// Writes 16 kHz mono 16-bit samples as a WAV file.
bool SaveWav16kMono(const std::string& path, const std::vector<std::int16_t>& samples);

}  // namespace zorvan::tools
