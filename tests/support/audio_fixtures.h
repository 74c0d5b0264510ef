#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zorvan::test {

// A sine tone, interleaved when channels is 2 (the right channel at half
// the amplitude and another pitch, so the left one can be told apart).
std::vector<std::int16_t> Tone(int rate, int channels, double seconds, double hz = 440, double amplitude = 8000);

// A 16-bit PCM WAV file; `tail` is raw bytes of a chunk after the data one.
void WriteWav(const std::string& path, const std::vector<std::int16_t>& samples, int rate, int channels,
              const std::string& tail = {});

// The samples of a WAV file as the greeting player reads them (16-bit,
// channels interleaved); empty when it cannot be read.
std::vector<std::int16_t> ReadWav(const std::string& path, int* rate = nullptr, int* channels = nullptr);

// Runs a shell command line; true when it exited with 0.
bool Run(const std::string& commandLine);

// An MP3 made by the lame command line from a WAV file.
bool MakeMp3(const std::string& wav, const std::string& mp3, const std::string& options = "");

// Samples as little-endian bytes and back.
std::string Bytes(const std::vector<std::int16_t>& samples);
std::vector<std::int16_t> Samples(const std::string& bytes);

// Peak normalised cross-correlation of b against a over lags 0..maxLag.
double PeakCorrelation(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b, std::size_t maxLag);
// How well b carries a, piece by piece: a is cut into pieces of `piece`
// samples, each looked for in b at lags 0..maxLag past its own place, so a
// frame lost or late on the way shifts only what follows it; the median of
// the pieces' peak correlations. Pieces of a without sound are left out.
double PiecewiseCorrelation(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b,
                            std::size_t piece, std::size_t maxLag);

}  // namespace zorvan::test
