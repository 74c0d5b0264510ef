#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zorvan::tools {

// Reads a WAV file (integer PCM, float, A-law or mu-law; one or two
// channels at 4 to 192 kHz) and converts it to what Skype streams: 16 kHz,
// mono, 16-bit samples.
bool LoadWavAs16kMono(const std::string& path, std::vector<std::int16_t>& samples, std::string& error);

// Writes 16 kHz mono 16-bit samples as a WAV file.
bool SaveWav16kMono(const std::string& path, const std::vector<std::int16_t>& samples);

}  // namespace zorvan::tools
