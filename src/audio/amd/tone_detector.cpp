#include "audio/amd/tone_detector.h"

#include <cmath>
#include <cstdlib>
#include <numbers>

namespace zorvan::audio {

namespace {

// A window this quiet (about -45 dBFS) holds no tone worth hearing.
constexpr float kQuietEnergy = 184.0F * 184.0F * ToneDetector::kWindow;
// The share of a window's energy one filter must hold. A pure tone midway
// between two filters still gives about 0.95, over G.711 and line noise 0.94;
// speech rarely passes 0.85 (a steady voice whose one harmonic fills the
// bottom of the telephone band), noise far less.
constexpr float kToneShare = 0.9F;
// Filters of a run may wander this far (in bins) and still be one tone.
constexpr int kSameTone = 4;
// Quiet chunks after a beep before it is taken as ended; a tone in them
// makes it part of a sequence of tones.
constexpr int kEndQuiet = 3;

}  // namespace

ToneDetector::ToneDetector() {
    for (int k = 0; k < kBins; ++k) {
        const double hz = kLowHz + kStepHz * k;
        coefficients_[static_cast<std::size_t>(k)] = static_cast<float>(2.0 * std::cos(2.0 * std::numbers::pi * hz / 8000.0));
    }
}

void ToneDetector::Reset() {
    window_.fill(0);
    run_ = 0;
    misses_ = 0;
    afterTone_ = false;
    pendingEnd_ = 0;
    sinceTone_ = 1000;
    lastBeep_ = 0;
}

bool ToneDetector::Tonal(int& bin) {
    float energy = 0;
    for (const float x : window_) energy += x * x;
    bin = -1;
    if (energy < kQuietEnergy) return false;
    float best = 0;
    for (int k = 0; k < kBins; ++k) {
        const float c = coefficients_[static_cast<std::size_t>(k)];
        float s1 = 0;
        float s2 = 0;
        for (const float x : window_) {
            const float s = x + c * s1 - s2;
            s2 = s1;
            s1 = s;
        }
        const float power = s1 * s1 + s2 * s2 - c * s1 * s2;
        if (power > best) {
            best = power;
            bin = k;
        }
    }
    return 2.0F * best / (static_cast<float>(kWindow) * energy) >= kToneShare;
}

void ToneDetector::EndRun(bool byAnotherTone) {
    const bool beep = run_ >= kConfirmChunks && run_ <= kLongestBeepChunks && !afterTone_ && !byAnotherTone;
    if (beep) {
        pendingEnd_ = kEndQuiet;
        pendingLength_ = run_;
    }
    run_ = 0;
    misses_ = 0;
    sinceTone_ = 0;
}

ToneDetector::Event ToneDetector::Step(const std::int16_t* samples) {
    // Halve the rate: the average of each pair, enough below 2 kHz.
    constexpr int kHalf = kWindow / 2;
    for (int i = 0; i < kHalf; ++i) window_[static_cast<std::size_t>(i)] = window_[static_cast<std::size_t>(i + kHalf)];
    for (int i = 0; i < kHalf; ++i) {
        window_[static_cast<std::size_t>(kHalf + i)] =
            0.5F * (static_cast<float>(samples[2 * i]) + static_cast<float>(samples[2 * i + 1]));
    }
    int bin = -1;
    const bool tonal = Tonal(bin);
    Event event = Event::None;
    if (tonal) {
        if (run_ > 0 && std::abs(bin - runBin_) > kSameTone) EndRun(true);
        if (run_ == 0) {
            // A tone straight after another (or after a beep not yet
            // confirmed as ended) belongs to a sequence of tones.
            afterTone_ = sinceTone_ <= kEndQuiet || pendingEnd_ > 0;
            pendingEnd_ = 0;
            runBin_ = bin;
        }
        ++run_;
        misses_ = 0;
        if (run_ == kConfirmChunks) event = Event::ToneHeard;
        return event;
    }
    if (run_ > 0) {
        if (++misses_ <= 1) {
            ++run_;  // one chunk of dropout inside a tone is tolerated
            return event;
        }
        run_ -= misses_ - 1;  // the tolerated chunk was no tone after all
        EndRun(false);
        return event;
    }
    ++sinceTone_;
    if (pendingEnd_ > 0 && --pendingEnd_ == 0) {
        lastBeep_ = pendingLength_;
        event = Event::BeepEnded;
    }
    return event;
}

}  // namespace zorvan::audio
