// A 12-band voice activity detector in the manner of the AMR-WB codec's
// floating-point one, on 320-value frames: a filter bank splits the frame
// into bands, their levels are compared with a background noise estimate
// against a threshold that follows the noise and speech levels, and
// burst and hangover rules smooth the decisions.
#include "audio/vad/vad.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace zorvan::audio {

namespace {

constexpr float kCoeff5First = 0.670013F;
constexpr float kCoeff5Second = 0.195007F;
constexpr float kCoeff3 = 0.407806F;

constexpr float kNoiseMin = 40;
constexpr float kNoiseMax = 20000;
constexpr float kNoiseInit = 150;
constexpr float kStatLevelFloor = 184;
constexpr float kStatThreshold = 1000;
constexpr std::int16_t kStatCount = 20;

constexpr float kAlphaSpeech = 1.0F - 0.9F;
constexpr float kAlphaOther = 0.5F;
constexpr float kUpNormal = 1.0F - 0.95F;
constexpr float kDownNormal = 1.0F - 0.936F;
constexpr float kUpForced = 1.0F - 0.985F;
constexpr float kDownForced = 1.0F - 0.943F;
constexpr float kDownFrozen = 1.0F - 0.95F;

constexpr float kLowPower = 30000;
constexpr float kSpeechLevelInit = 2050;
constexpr int kSpeechWindow = 80;
constexpr int kSpeechActiveFrames = 25;
constexpr float kSpeechInputFloor = 129.15F;
constexpr float kSpeechUpdateFloor = 410;
constexpr float kSpeechUpdateFactor = 1.0F - 0.85F;

void Filter5(float& x, float& y, float* m) {
    const float a = x - kCoeff5First * m[0];
    const float u = m[0] + kCoeff5First * a;
    m[0] = a;
    const float b = y - kCoeff5Second * m[1];
    const float v = m[1] + kCoeff5Second * b;
    m[1] = b;
    x = (u + v) * 0.5F;
    y = (u - v) * 0.5F;
}

void Filter3(float& x, float& y, float& m) {
    const float a = y - kCoeff3 * m;
    const float u = m + kCoeff3 * a;
    m = a;
    y = (x - u) * 0.5F;
    x = (x + u) * 0.5F;
}

struct Band {
    int step, offset, windowStart, windowEnd;
    float scale;
};
// Indexed by band number.
constexpr Band kBands[kVadBands] = {
    {32, 0, 4, 10, 2},  {32, 16, 4, 10, 2}, {32, 24, 4, 10, 2}, {32, 8, 4, 10, 2},
    {16, 12, 8, 20, 1}, {16, 4, 8, 20, 1},  {16, 6, 8, 20, 1},  {16, 14, 8, 20, 1},
    {8, 2, 16, 40, 0.5F}, {8, 3, 16, 40, 0.5F}, {8, 7, 16, 40, 0.5F}, {4, 1, 32, 80, 0.25F},
};

void FilterBank(VadState* s, const float* frame) {
    float t[kVadFrameLength];
    for (int i = 0; i < kVadFrameLength; ++i) t[i] = frame[i] * 0.5F;
    for (int k = 0; k < kVadFrameLength; k += 2) Filter5(t[k], t[k + 1], s->filter5_memory[0]);
    for (int k = 0; k < kVadFrameLength; k += 4) {
        Filter5(t[k], t[k + 2], s->filter5_memory[1]);
        Filter5(t[k + 1], t[k + 3], s->filter5_memory[2]);
    }
    for (int k = 0; k < kVadFrameLength; k += 8) {
        Filter5(t[k], t[k + 4], s->filter5_memory[3]);
        Filter5(t[k + 2], t[k + 6], s->filter5_memory[4]);
        Filter3(t[k + 3], t[k + 7], s->filter3_memory[0]);
    }
    for (int k = 0; k < kVadFrameLength; k += 16) {
        Filter3(t[k], t[k + 8], s->filter3_memory[1]);
        Filter3(t[k + 4], t[k + 12], s->filter3_memory[2]);
        Filter3(t[k + 6], t[k + 14], s->filter3_memory[3]);
    }
    for (int k = 0; k < kVadFrameLength; k += 32) {
        Filter3(t[k], t[k + 16], s->filter3_memory[4]);
        Filter3(t[k + 8], t[k + 24], s->filter3_memory[5]);
    }
    for (int b = 0; b < kVadBands; ++b) {
        const Band& band = kBands[b];
        float sum = 0;
        for (int i = band.windowStart; i < band.windowEnd; ++i) sum += std::fabs(t[band.step * i + band.offset]);
        const float doubled = 2 * sum;
        float level = doubled + s->lookahead_level[b] / band.scale;
        s->lookahead_level[b] = doubled * band.scale;
        for (int i = 0; i < band.windowStart; ++i) level += 2 * std::fabs(t[band.step * i + band.offset]);
        s->level[b] = level * band.scale;
    }
}

void UpdateNoise(VadState* s) {
    const bool speech = (s->decision_register & 0x4000) != 0;
    if ((s->decision_register & 0x7F80) == 0) {
        s->stationary_count = kStatCount;
    } else {
        float ratio = 0;
        for (int b = 0; b < kVadBands; ++b) {
            const float hi = std::fmax(s->level[b], s->average_level[b]);
            const float lo = std::fmin(s->level[b], s->average_level[b]);
            ratio += 64 * std::fmax(hi, kStatLevelFloor) / std::fmax(lo, kStatLevelFloor);
        }
        if (ratio > kStatThreshold) {
            s->stationary_count = kStatCount;
        } else if (speech && s->stationary_count > 0) {
            --s->stationary_count;
        }
    }
    const float alpha = s->stationary_count == kStatCount ? 1.0F : speech ? kAlphaSpeech : kAlphaOther;
    for (int b = 0; b < kVadBands; ++b) s->average_level[b] += alpha * (s->level[b] - s->average_level[b]);

    float up = 0;
    float down = kDownFrozen;
    float step = 0;
    if ((s->decision_register & 0x7800) == 0) {
        up = kUpNormal, down = kDownNormal, step = 2;
    } else if (s->stationary_count == 0) {
        up = kUpForced, down = kDownForced, step = 2;
    }
    for (int b = 0; b < kVadBands; ++b) {
        const float d = s->previous_level[b] - s->noise_estimate[b];
        if (d < 0) {
            s->noise_estimate[b] = std::fmax(s->noise_estimate[b] + (-2 + down * d), kNoiseMin);
        } else {
            s->noise_estimate[b] = std::fmin(s->noise_estimate[b] + (step + up * d), kNoiseMax);
        }
        s->previous_level[b] = s->level[b];
    }
}

std::int16_t Decide(VadState* s, double twoFramePower) {
    float ratioSum = 0;
    for (int b = 0; b < kVadBands; ++b) {
        const float r = s->level[b] / s->noise_estimate[b];
        ratioSum += r * r;
    }
    float noiseSum = 0;
    for (int b = 1; b < kVadBands; ++b) noiseSum += s->noise_estimate[b];
    const float noise = noiseSum * 0.0625F;
    if (s->speech_level < noise) s->speech_level = noise;
    constexpr float kFullScale = 2147483648.0F;  // 2^31
    const float speechLog = -1024 * std::log2((s->speech_level - noise) / kFullScale);
    const float noiseLog = -1024 * std::log2(noise / kFullScale);
    float speechPart = -96 - 0.040894568F * (speechLog - 22527);
    if (speechPart < -96) speechPart = -96;  // also when the speech log-level is infinite
    if (speechPart > 96) speechPart = 96;
    float threshold = (332.8F + 0.009633716F * (noiseLog - 31744)) + speechPart;
    if (!(threshold >= 204.8F)) threshold = 204.8F;

    s->decision_register = static_cast<std::uint16_t>(s->decision_register >> 1);
    if (ratioSum > threshold * 12 / 128) s->decision_register |= 0x4000;
    const bool lowPower = twoFramePower < kLowPower;
    UpdateNoise(s);

    auto hang = static_cast<std::int16_t>(12 - static_cast<std::int16_t>(0.033967391F * (threshold - 217.6F) + 0.5F));
    if (hang < 2) hang = 2;
    const auto burstLength = static_cast<std::int16_t>(8 - static_cast<std::int16_t>(0.5F - 0.043402784F * (threshold - 332.8F)));
    if (lowPower) {
        s->burst_count = 0;
        s->hang_count = 0;
        return 0;
    }
    if ((s->decision_register & 0x4000) != 0) {
        ++s->burst_count;
        if (s->burst_count >= burstLength) s->hang_count = hang;
        return 1;
    }
    s->burst_count = 0;
    if (s->hang_count > 0) {
        --s->hang_count;
        return 1;
    }
    return 0;
}

void EstimateSpeech(VadState* s, float input) {
    if (s->speech_max_count - s->speech_estimate_count + kSpeechWindow < kSpeechActiveFrames) {
        s->speech_estimate_count = 0;
        s->speech_max = 0;
        s->speech_max_count = 0;
    }
    ++s->speech_estimate_count;
    if (((s->decision_register & 0x4000) != 0 || input > s->speech_level) && input > kSpeechInputFloor) {
        if (input > s->speech_max) s->speech_max = input;
        ++s->speech_max_count;
        if (s->speech_max_count >= kSpeechActiveFrames) {
            const float y = s->speech_max * 0.5F;
            if (y > kSpeechUpdateFloor) s->speech_level += kSpeechUpdateFactor * (y - s->speech_level);
            s->speech_estimate_count = 0;
            s->speech_max = 0;
            s->speech_max_count = 0;
        }
    }
}

}  // namespace

int vad_init(VadState** state) {
    if (state == nullptr) {
        std::fputs("vad_init: invalid parameter\n", stderr);
        return -1;
    }
    auto* s = static_cast<VadState*>(std::malloc(sizeof(VadState)));
    if (s == nullptr) {
        std::fputs("vad_init: can not malloc state structure\n", stderr);
        return -1;
    }
    s->stationary_count = 0;
    vad_reset(s);
    *state = s;
    return 0;
}

int vad_reset(VadState* s) {
    if (s == nullptr) {
        std::fputs("vad_reset: invalid parameter\n", stderr);
        return -1;
    }
    for (int b = 0; b < kVadBands; ++b) {
        s->noise_estimate[b] = kNoiseInit;
        s->average_level[b] = kNoiseInit;
        s->previous_level[b] = kNoiseInit;
        s->lookahead_level[b] = 0;
        s->level[b] = 0;
    }
    for (auto& m : s->filter5_memory) m[0] = m[1] = 0;
    for (float& m : s->filter3_memory) m = 0;
    s->burst_count = 0;
    s->hang_count = 0;
    s->decision_register = 0;
    s->speech_estimate_count = 0;
    s->speech_max = 0;
    s->speech_max_count = 0;
    s->speech_level = kSpeechLevelInit;
    s->previous_power = 0;
    return 0;
}

void vad_exit(VadState** state) {
    if (state == nullptr || *state == nullptr) return;
    std::free(*state);
    *state = nullptr;
}

std::int16_t vad_process(VadState* s, const float* frame) {
    double energy = 0;
    for (int i = 0; i < kVadFrameLength; ++i) energy += static_cast<double>(frame[i]) * frame[i];
    energy *= 2;
    const double power = energy + s->previous_power;
    s->previous_power = energy;
    FilterBank(s, frame);
    const std::int16_t decision = Decide(s, power);
    float input = 0;
    for (int b = 1; b < kVadBands; ++b) input += s->level[b];
    EstimateSpeech(s, input * 0.0625F);
    return decision;
}

}  // namespace zorvan::audio
