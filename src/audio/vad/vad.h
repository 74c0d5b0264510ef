#pragma once

#include <cstdint>

namespace zorvan::audio {

inline constexpr int kVadFrameLength = 320;
inline constexpr int kVadBands = 12;

// The voice activity detector's memory between frames.
struct VadState {
    float noise_estimate[kVadBands];
    float average_level[kVadBands];
    float previous_level[kVadBands];
    float lookahead_level[kVadBands];
    float filter5_memory[5][2];
    float filter3_memory[6];
    std::int16_t burst_count;
    std::int16_t hang_count;
    std::int16_t stationary_count;
    std::uint16_t decision_register;  // bit 14 (0x4000) is the newest decision
    std::int16_t speech_estimate_count;
    float speech_max;
    std::int16_t speech_max_count;
    float speech_level;
    double previous_power;
    float level[kVadBands];
};

// 0, or -1 with a message on standard error.
int vad_init(VadState** state);
// Every field back to its start value except stationary_count.
int vad_reset(VadState* state);
void vad_exit(VadState** state);
// 1 when the frame of 320 values (in the scale of 16-bit samples) holds
// speech, else 0.
std::int16_t vad_process(VadState* state, const float* frame);

}  // namespace zorvan::audio
