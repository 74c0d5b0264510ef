// A 12-band voice activity detector in the manner of the AMR-WB codec's
// floating-point one, on 320-value frames: a filter bank splits the frame
// into bands, their levels are compared with a background noise estimate
// against a threshold that follows the noise and speech levels, and
// burst and hangover rules smooth the decisions.
#include "audio/vad/vad.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

// A fifth-order section on the pair (x, y) with memory (m0, m1) is
//   a = x - c0 m0, u = m0 + c0 a, m0 = a;  b = y - c1 m1, v = m1 + c1 b, m1 = b;
//   x = (u + v) / 2, y = (u - v) / 2.
// In vectors the same operations run lane by lane; the closing sum and
// difference take one shuffle, as v + u and u + (-v) (the sign flip and the
// halving are exact, and the additions are the same roundings).
using V4 = float __attribute__((vector_size(16)));
using V4i = int __attribute__((vector_size(16)));

// Lane shuffles in the spelling of each compiler (the fuzz and sanitizer
// builds use clang).
#if defined(__clang__)
#define ZORVAN_SHUFFLE1(a, i0, i1, i2, i3) __builtin_shufflevector(a, a, i0, i1, i2, i3)
#define ZORVAN_SHUFFLE2(a, b, i0, i1, i2, i3) __builtin_shufflevector(a, b, i0, i1, i2, i3)
#else
#define ZORVAN_SHUFFLE1(a, i0, i1, i2, i3) __builtin_shuffle(a, V4i{i0, i1, i2, i3})
#define ZORVAN_SHUFFLE2(a, b, i0, i1, i2, i3) __builtin_shuffle(a, b, V4i{i0, i1, i2, i3})
#endif

// One section, lanes [x, y, -, -] with memories [m0, m1, -, -].
inline V4 Filter5Half(V4 xy, V4& m) {
    const V4 c = {kCoeff5First, kCoeff5Second, kCoeff5First, kCoeff5Second};
    const V4 a = xy - c * m;
    const V4 uv = m + c * a;
    m = a;
    const V4 vu = ZORVAN_SHUFFLE1(uv, 1, 0, 3, 2);
    const V4 sign = {1, -1, 1, -1};
    return (vu + uv * sign) * 0.5F;
}

// Two sections, lanes [x, x', y, y'] with memories [m0, m0', m1, m1'].
inline V4 Filter5Cross(V4 xy, V4& m) {
    const V4 c = {kCoeff5First, kCoeff5First, kCoeff5Second, kCoeff5Second};
    const V4 a = xy - c * m;
    const V4 uv = m + c * a;
    m = a;
    const V4 vu = ZORVAN_SHUFFLE1(uv, 2, 3, 0, 1);
    const V4 sign = {1, 1, -1, -1};
    return (vu + uv * sign) * 0.5F;
}

inline V4 Load(const float* p) {
    V4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void Store(float* p, V4 v) { std::memcpy(p, &v, sizeof v); }

void Filter3(float& x, float& y, float& m) {
    const float a = y - kCoeff3 * m;
    const float u = m + kCoeff3 * a;
    m = a;
    y = (x - u) * 0.5F;
    x = (x + u) * 0.5F;
}

inline V4 Abs(V4 v) { return reinterpret_cast<V4>(reinterpret_cast<V4i>(v) & 0x7FFFFFFF); }

// Fills the band levels; returns the frame's energy (twice the sum of the
// squares), summed as the blocks are filtered so that it overlaps with them
// (four partial sums in double precision: the order does not matter to the
// low-power test).
double FilterBank(VadState* s, const float* frame) {
    float t[kVadFrameLength];
    // t holds the frame's values as the stages leave them; stage 1 reads the
    // frame itself, halved.
    // The five stages: every stage's blocks fit in 32 values and each
    // section still sees its values in order, so running the stages over one
    // 32-value block at a time gives the same numbers as running each stage
    // over the whole frame. The fifth-order sections run two at a time in
    // vectors (stage 1 has one section: half a vector); the third-order ones
    // stay scalar.
    float* f5 = &s->filter5_memory[0][0];
    float* f3 = s->filter3_memory;
    V4 m1 = {f5[0], f5[1], 0, 0};
    V4 m2 = {f5[2], f5[4], f5[3], f5[5]};  // sections 1 and 2, crossed
    V4 m3 = {f5[6], f5[8], f5[7], f5[9]};  // sections 3 and 4, crossed
    float m3a = f3[0], m3b = f3[1], m3c = f3[2], m3d = f3[3], m3e = f3[4], m3f = f3[5];
    // Software pipelined over 32-value blocks, step by step: stage 1 of one
    // block is interleaved with stages 2 and 3 of the block before it, so the
    // recursions of the different sections run side by side in the
    // processor. Every section still sees its values in order.
    constexpr int kBlocks = kVadFrameLength / 32;
    V4 q[2][8];  // t[4j .. 4j+3] of a block, in registers between stages
    const auto stage1 = [&](const float* b, V4* out, int j) {
        const V4 first = Filter5Half(V4{b[4 * j], b[4 * j + 1], 0, 0} * 0.5F, m1);
        const V4 second = Filter5Half(V4{b[4 * j + 2], b[4 * j + 3], 0, 0} * 0.5F, m1);
        out[j] = ZORVAN_SHUFFLE2(first, second, 0, 1, 4, 5);
    };
    const auto stage2 = [&](V4* v, int j) {
        // (t[k], t[k+2]) with section 1, (t[k+1], t[k+3]) with section 2:
        // t[k .. k+3] is already the crossed layout
        v[j] = Filter5Cross(v[j], m2);
    };
    const auto stage3 = [&](V4* v, int j) {
        // (t[k], t[k+4]) with section 3, (t[k+2], t[k+6]) with section 4
        const V4 lo = v[j];
        const V4 hi = v[j + 1];
        const V4 r = Filter5Cross(ZORVAN_SHUFFLE2(lo, hi, 0, 2, 4, 6), m3);
        v[j] = ZORVAN_SHUFFLE2(r, lo, 0, 5, 1, 7);
        v[j + 1] = ZORVAN_SHUFFLE2(r, hi, 2, 5, 3, 7);
    };
    const auto stages4and5 = [&](float* b, const V4* v) {
        for (int j = 0; j < 8; ++j) Store(b + 4 * j, v[j]);
        // Stage 3's third-order section on (t[k+3], t[k+7]): no other section
        // of stages 3 to 5 touches those values, so it runs here, in order.
        for (int k = 0; k < 32; k += 8) Filter3(b[k + 3], b[k + 7], m3a);
        for (int k = 0; k < 32; k += 16) {
            Filter3(b[k], b[k + 8], m3b);
            Filter3(b[k + 4], b[k + 12], m3c);
            Filter3(b[k + 6], b[k + 14], m3d);
        }
        Filter3(b[0], b[16], m3e);
        Filter3(b[8], b[24], m3f);
    };
    // The bands' window sums (values 128 on, blocks 4 to 9) are taken as
    // each block is finished, in the order of each band's own sum, so they
    // too overlap with the filter stages of the blocks after it.
    constexpr int kWindowBlock = 4;
    const auto gather = [](const float* p, int o0, int o1, int o2, int o3) {
        return Abs(V4{p[o0], p[o1], p[o2], p[o3]});
    };
    V4 sumLow = {0, 0, 0, 0};   // bands 0-3: step 32
    V4 sumMid = {0, 0, 0, 0};   // bands 4-7: step 16
    V4 sumHigh = {0, 0, 0, 0};  // bands 8-10: step 8 (the fourth lane unused)
    float sum11 = 0;            // band 11: step 4
    const auto accumulate = [&](const float* b) {
        sumLow += gather(b, 0, 16, 24, 8);
        sumMid += gather(b, 12, 4, 6, 14);
        sumMid += gather(b + 16, 12, 4, 6, 14);
        for (int k = 0; k < 4; ++k) sumHigh += gather(b + 8 * k, 2, 3, 7, 0);
        for (int k = 0; k < 8; ++k) sum11 += std::fabs(b[4 * k + 1]);
    };
    using V2d = double __attribute__((vector_size(16)));
    V2d partial01 = {0, 0};  // sums of the squares of values 4m, 4m+1
    V2d partial23 = {0, 0};  // and of 4m+2, 4m+3
    const auto energy = [&](const float* in) {
        for (int i = 0; i < 32; i += 4) {
            const V2d x01 = {in[i], in[i + 1]};
            const V2d x23 = {in[i + 2], in[i + 3]};
            partial01 += x01 * x01;
            partial23 += x23 * x23;
        }
    };
    for (int j = 0; j < 8; ++j) stage1(frame, q[0], j);
    energy(frame);
    for (int block = 1; block <= kBlocks; ++block) {
        V4* previous = q[(block - 1) & 1];
        V4* current = q[block & 1];
        for (int j = 0; j < 8; ++j) {
            if (block < kBlocks) stage1(frame + 32 * block, current, j);
            stage2(previous, j);
            if ((j & 1) != 0) stage3(previous, j - 1);
        }
        if (block < kBlocks) energy(frame + 32 * block);
        stages4and5(t + 32 * (block - 1), previous);
        if (block - 1 >= kWindowBlock) accumulate(t + 32 * (block - 1));
    }
    f5[0] = m1[0];
    f5[1] = m1[1];
    f5[2] = m2[0], f5[3] = m2[2], f5[4] = m2[1], f5[5] = m2[3];
    f5[6] = m3[0], f5[7] = m3[2], f5[8] = m3[1], f5[9] = m3[3];
    f3[0] = m3a, f3[1] = m3b, f3[2] = m3c, f3[3] = m3d, f3[4] = m3e, f3[5] = m3f;
    // Each band's level: twice its window sum, the lookahead carried over,
    // then the values before the window one by one.
    float* L = s->lookahead_level;
    float* level = s->level;
    const auto finish = [](V4 sum, V4& ahead, float scale, const auto& before, int count) {
        const V4 doubled = 2 * sum;
        V4 value = doubled + ahead / scale;
        ahead = doubled * scale;
        for (int i = 0; i < count; ++i) value += 2 * before(i);
        return value * scale;
    };
    V4 ahead0 = {L[0], L[1], L[2], L[3]};
    V4 ahead4 = {L[4], L[5], L[6], L[7]};
    V4 ahead8 = {L[8], L[9], L[10], 0};
    const V4 low = finish(sumLow, ahead0, 2, [&](int i) { return gather(t + 32 * i, 0, 16, 24, 8); }, 4);
    const V4 middle = finish(sumMid, ahead4, 1, [&](int i) { return gather(t + 16 * i, 12, 4, 6, 14); }, 8);
    const V4 high = finish(sumHigh, ahead8, 0.5F, [&](int i) { return gather(t + 8 * i, 2, 3, 7, 0); }, 16);
    {
        const float doubled = 2 * sum11;
        float value = doubled + L[11] / 0.25F;
        L[11] = doubled * 0.25F;
        for (int i = 0; i < 32; ++i) value += 2 * std::fabs(t[4 * i + 1]);
        level[11] = value * 0.25F;
    }
    for (int b = 0; b < 4; ++b) {
        level[b] = low[b];
        level[4 + b] = middle[b];
        L[b] = ahead0[b];
        L[4 + b] = ahead4[b];
    }
    for (int b = 0; b < 3; ++b) {
        level[8 + b] = high[b];
        L[8 + b] = ahead8[b];
    }
    return 2 * ((partial01[0] + partial01[1]) + (partial23[0] + partial23[1]));
}

void UpdateNoise(VadState* s) {
    const bool speech = (s->decision_register & 0x4000) != 0;
    const V4 statFloor = {kStatLevelFloor, kStatLevelFloor, kStatLevelFloor, kStatLevelFloor};
    if ((s->decision_register & 0x7F80) == 0) {
        s->stationary_count = kStatCount;
    } else {
        // Each band's term four at a time, summed in band order.
        float terms[kVadBands];
        for (int b = 0; b < kVadBands; b += 4) {
            const V4 level = Load(s->level + b);
            const V4 average = Load(s->average_level + b);
            V4 hi = level > average ? level : average;
            V4 lo = level > average ? average : level;
            hi = hi > statFloor ? hi : statFloor;
            lo = lo > statFloor ? lo : statFloor;
            Store(terms + b, 64 * hi / lo);
        }
        float ratio = 0;
        for (const float term : terms) ratio += term;
        if (ratio > kStatThreshold) {
            s->stationary_count = kStatCount;
        } else if (speech && s->stationary_count > 0) {
            --s->stationary_count;
        }
    }
    const float alpha = s->stationary_count == kStatCount ? 1.0F : speech ? kAlphaSpeech : kAlphaOther;

    float up = 0;
    float down = kDownFrozen;
    float step = 0;
    if ((s->decision_register & 0x7800) == 0) {
        up = kUpNormal, down = kDownNormal, step = 2;
    } else if (s->stationary_count == 0) {
        up = kUpForced, down = kDownForced, step = 2;
    }
    const V4 noiseMin = {kNoiseMin, kNoiseMin, kNoiseMin, kNoiseMin};
    const V4 noiseMax = {kNoiseMax, kNoiseMax, kNoiseMax, kNoiseMax};
    const V4 zero = {0, 0, 0, 0};
    for (int b = 0; b < kVadBands; b += 4) {
        const V4 level = Load(s->level + b);
        const V4 average = Load(s->average_level + b);
        Store(s->average_level + b, average + alpha * (level - average));
        // Down towards a quieter band (not below the minimum), up otherwise
        // (not above the maximum).
        const V4 noise = Load(s->noise_estimate + b);
        const V4 d = Load(s->previous_level + b) - noise;
        V4 lowered = noise + (-2 + down * d);
        V4 raised = noise + (step + up * d);
        lowered = lowered < noiseMin ? noiseMin : lowered;
        raised = raised > noiseMax ? noiseMax : raised;
        Store(s->noise_estimate + b, d < zero ? lowered : raised);
        Store(s->previous_level + b, level);
    }
}

// The threshold depends only on the noise and speech estimates the previous
// frame left, so it is worked out before the frame is filtered and overlaps
// with that work.
float Threshold(VadState* s) {
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
    return threshold;
}

std::int16_t Decide(VadState* s, double twoFramePower, float threshold) {
    // The twelve ratios four at a time; their squares summed in band order.
    float squares[kVadBands];
    for (int b = 0; b < kVadBands; b += 4) {
        const V4 r = Load(s->level + b) / Load(s->noise_estimate + b);
        Store(squares + b, r * r);
    }
    float ratioSum = 0;
    for (const float square : squares) ratioSum += square;

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
    const float threshold = Threshold(s);
    const double energy = FilterBank(s, frame);
    const double power = energy + s->previous_power;
    s->previous_power = energy;
    const std::int16_t decision = Decide(s, power, threshold);
    float input = 0;
    for (int b = 1; b < kVadBands; ++b) input += s->level[b];
    EstimateSpeech(s, input * 0.0625F);
    return decision;
}

}  // namespace zorvan::audio
