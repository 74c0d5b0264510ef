#include "audio/greeting/resampler.h"

#include <samplerate.h>

namespace zorvan::audio {

Resampler::Resampler() {
    int error = 0;
    state_ = src_new(SRC_SINC_FASTEST, 1, &error);
}

Resampler::~Resampler() {
    if (state_ != nullptr) src_delete(state_);
}

void Resampler::Reset() {
    if (state_ != nullptr) src_reset(state_);
}

const std::vector<std::int16_t>& Resampler::Convert(const std::int16_t* samples, std::size_t n, int sourceRate) {
    result_.clear();
    if (state_ == nullptr || n == 0 || sourceRate <= 0) return result_;
    // The ratio in single precision, as the stream has always been converted.
    const float ratio = 16000.0F / static_cast<float>(sourceRate);
    const auto room = static_cast<std::size_t>(static_cast<float>(n) * ratio + 10);
    in_.resize(n);
    out_.resize(room);
    src_short_to_float_array(samples, in_.data(), static_cast<int>(n));
    SRC_DATA data{};
    data.data_in = in_.data();
    data.input_frames = static_cast<long>(n);
    data.data_out = out_.data();
    data.output_frames = static_cast<long>(room);
    data.src_ratio = ratio;
    data.end_of_input = 0;
    if (src_process(state_, &data) != 0) return result_;
    result_.resize(static_cast<std::size_t>(data.output_frames_gen));
    src_float_to_short_array(out_.data(), result_.data(), static_cast<int>(data.output_frames_gen));
    return result_;
}

const std::vector<std::int16_t>& ToStreamFormat(const std::int16_t* samples, std::size_t count, int channels,
                                                int sampleRate, Resampler& resampler,
                                                std::vector<std::int16_t>& scratch) {
    scratch.clear();
    if (channels == 2) {
        scratch.reserve(count / 2);
        for (std::size_t i = 0; i + 1 < count; i += 2) scratch.push_back(samples[i]);
    } else {
        scratch.assign(samples, samples + count);
    }
    if (sampleRate == 16000) return scratch;
    return resampler.Convert(scratch.data(), scratch.size(), sampleRate);
}

}  // namespace zorvan::audio
