#pragma once

#include <array>
#include <cstdint>

namespace zorvan::audio {

// Finds the beep an answering machine plays before it records: one steady
// tone of 0.2 to 2 s between 400 and 2 000 Hz, with no tone right before or
// after it. Works on the call's 10 ms chunks (160 samples at 16 kHz): each
// chunk is halved to 8 kHz and the last 20 ms are put through a bank of
// Goertzel filters 12.5 Hz apart. A window is tonal when one filter holds most
// of its energy; a run of tonal windows on the same frequency is a tone.
// Three tones in a row, as the network's information signal has, are no
// beep, though each is heard as a tone.
class ToneDetector {
public:
    static constexpr int kLowHz = 400;
    static constexpr int kHighHz = 2000;
    static constexpr double kStepHz = 12.5;
    static constexpr int kBins = static_cast<int>((kHighHz - kLowHz) / kStepHz) + 1;
    static constexpr int kWindow = 160;          // samples at 8 kHz: 20 ms
    static constexpr int kConfirmChunks = 15;     // a tone heard for 150 ms
    static constexpr int kLongestBeepChunks = 220;  // longer is a steady tone, not a beep

    enum class Event {
        None,
        ToneHeard,  // a tone has lasted kConfirmChunks: a recording is playing
        BeepEnded,  // a beep ended with the chunk before this one
    };

    ToneDetector();
    void Reset();
    Event Step(const std::int16_t* samples);  // 160 samples at 16 kHz

    // The length of the beep that ended last, in chunks.
    int lastBeepChunks() const { return lastBeep_; }

private:
    bool Tonal(int& bin);
    void EndRun(bool byAnotherTone);

    std::array<float, kBins> coefficients_{};
    std::array<float, kWindow> window_{};
    int run_ = 0;         // chunks of the current tone
    int runBin_ = 0;
    int misses_ = 0;      // non-tonal chunks inside a run, tolerated one at a time
    bool afterTone_ = false;  // the current run began right where another ended
    int pendingEnd_ = 0;      // quiet chunks still to wait before a beep is ended
    int pendingLength_ = 0;
    int sinceTone_ = 1000;    // chunks since the last tone ended
    int lastBeep_ = 0;
};

}  // namespace zorvan::audio
