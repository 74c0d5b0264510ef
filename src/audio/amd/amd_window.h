#pragma once

namespace zorvan::audio {

// The detection modes: 0 the silence count, 1 the shape of the opening
// with the beep (any other value is taken as 0).
inline constexpr int kAmdModeSilence = 0;
inline constexpr int kAmdModeShape = 1;

inline int AmdMode(int setting) { return setting == kAmdModeShape ? kAmdModeShape : kAmdModeSilence; }

// How long after the answer the decision window stays open: for the
// silence count 3 s (5 s at the strictest threshold), for the second mode
// 6 s, the longest a person who has answered is kept waiting.
inline int DetectionWindowMs(int threshold, int mode) {
    if (AmdMode(mode) == kAmdModeShape) return 6000;
    return threshold > 2 ? 5000 : 3000;
}

}  // namespace zorvan::audio
