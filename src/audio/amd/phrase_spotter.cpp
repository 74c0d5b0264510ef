#include "audio/amd/phrase_spotter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace zorvan::audio {
namespace {

constexpr std::size_t kC = kFeatureSize;

constexpr float kNone = std::numeric_limits<float>::infinity();

// Four phrase frames side by side, for one coefficient or one distance.
using Lanes = float __attribute__((vector_size(16)));
constexpr std::size_t kLanes = 4;

Lanes Load(const float* at) {
    Lanes v;
    std::memcpy(&v, at, sizeof v);
    return v;
}
void Store(float* at, Lanes v) { std::memcpy(at, &v, sizeof v); }

// A path into a cell: the diagonal one, unless the other (a skip) has the
// lower mean cost. For one cell, or four side by side.
template <typename V>
void Prefer(V& cost, V& length, V otherCost, V otherLength) {
    const auto other = otherCost * length < cost * otherLength;
    cost = other ? otherCost : cost;
    length = other ? otherLength : length;
}

// Dynamic time warping of a line onto a phrase, one line frame (a column)
// at a time. Column t holds, for each phrase frame i, the cost and length
// of the best path ending at (i, t); a path moves one phrase frame per line
// frame, or skips one of either. Paths are compared by their mean cost,
// cross-multiplied so that no division is needed; a column depends only on
// the two before it, so each is computed without branches. The phrase is
// kept in blocks of four frames, coefficient by coefficient, so that a
// column's distances are summed four at a time (each in the same order as
// one frame on its own would be).
class Warping {
public:
    // The phrase: `frames` frames of kC floats, one after another.
    Warping(const float* phrase, std::size_t frames)
        : blocks_((frames + kLanes - 1) / kLanes), phrase_(blocks_ * kC, Lanes{}), distance_(frames),
          cost0_(frames, kNone), cost1_(frames, kNone), cost2_(frames, kNone), len0_(frames, 1.0F),
          len1_(frames, 1.0F), len2_(frames, 1.0F) {
        for (std::size_t i = 0; i < frames; ++i) {
            for (std::size_t k = 0; k < kC; ++k) phrase_[(i / kLanes) * kC + k][i % kLanes] = phrase[i * kC + k];
        }
    }

    // The next column: line frame x (kC floats) against every phrase frame;
    // a path may start on it when `start`.
    void Step(const float* x, bool start) {
        const std::size_t size = distance_.size();
        float* distance = distance_.data();
        for (std::size_t b = 0; b < blocks_; ++b) {
            const Lanes* block = phrase_.data() + b * kC;
            Lanes dot{};
            for (std::size_t k = 0; k < kC; ++k) dot += x[k] * block[k];
            const Lanes d = 1.0F - dot;
            for (std::size_t j = 0; j < kLanes && b * kLanes + j < size; ++j) distance[b * kLanes + j] = d[j];
        }
        float* cost0 = cost0_.data();
        float* len0 = len0_.data();
        const float* cost1 = cost1_.data();
        const float* len1 = len1_.data();
        const float* cost2 = cost2_.data();
        const float* len2 = len2_.data();
        cost0[0] = start ? distance[0] : kNone;
        len0[0] = 1.0F;
        if (size > 1) {
            float cost = cost1[0];
            float length = len1[0];
            Prefer(cost, length, cost2[0], len2[0]);
            cost0[1] = cost + distance[1];
            len0[1] = length + 1.0F;
        }
        std::size_t i = 2;
        for (; i + kLanes <= size; i += kLanes) {
            Lanes cost = Load(cost1 + i - 1);
            Lanes length = Load(len1 + i - 1);
            Prefer(cost, length, Load(cost2 + i - 1), Load(len2 + i - 1));
            Prefer(cost, length, Load(cost1 + i - 2), Load(len1 + i - 2));
            Store(cost0 + i, cost + Load(distance + i));
            Store(len0 + i, length + 1.0F);
        }
        for (; i < size; ++i) {
            float cost = cost1[i - 1];
            float length = len1[i - 1];
            Prefer(cost, length, cost2[i - 1], len2[i - 1]);
            Prefer(cost, length, cost1[i - 2], len1[i - 2]);
            cost0[i] = cost + distance[i];
            len0[i] = length + 1.0F;
        }
        std::swap(cost2_, cost1_);
        std::swap(cost1_, cost0_);
        std::swap(len2_, len1_);
        std::swap(len1_, len0_);
    }
    // The best path that ends on the last phrase frame in the last column.
    float endCost() const { return cost1_.back(); }
    float endLength() const { return len1_.back(); }

private:
    std::size_t blocks_;
    std::vector<Lanes> phrase_;  // coefficient k of frame i: phrase_[(i / 4) * kC + k][i % 4]
    std::vector<float> distance_;
    std::vector<float> cost0_, cost1_, cost2_;
    std::vector<float> len0_, len1_, len2_;
};

// The cheapest mean distance of a match of one phrase anywhere in the line.
float Warp(const std::vector<Feature>& line, const std::vector<unsigned char>& startable, const float* phrase, int m) {
    Warping warping(phrase, static_cast<std::size_t>(m));
    float bestCost = kNone;
    float bestLength = 1.0F;
    for (std::size_t t = 0; t < line.size(); ++t) {
        warping.Step(line[t].data(), startable[t] != 0);
        if (warping.endCost() * bestLength < bestCost * warping.endLength()) {
            bestCost = warping.endCost();
            bestLength = warping.endLength();
        }
    }
    return bestCost == kNone ? kNone : bestCost / bestLength;
}

}  // namespace

PhraseSpotter::PhraseSpotter() {
    frames_.reserve(kMaxFrames);
    speech_.reserve(kMaxFrames);
}

void PhraseSpotter::Reset() {
    frontEnd_.Reset();
    frames_.clear();
    speech_.clear();
    speechFrames_ = 0;
    judgedSpeech_ = -1;
    judged_ = Match{};
}

void PhraseSpotter::Feed(const std::int16_t* samples, bool speech) {
    if (frames_.size() >= kMaxFrames) return;
    const CepstrumFrontEnd::Frame frame = frontEnd_.Step(samples);
    if (frames_.empty() && !speech) return;  // kept from the first speech on
    frames_.push_back(frame);
    speech_.push_back(speech);
    if (speech) ++speechFrames_;
}

PhraseSpotter::Line PhraseSpotter::Said() const {
    Line said;
    said.speechFrames = speechFrames_;
    if (speechFrames_ == 0) return said;
    // The line's own mean and spread over its speech are taken out, as they
    // were from each phrase: what is left is the speech, not the voice or
    // the channel.
    const std::vector<Feature> all = CompareFeatures(frames_, speech_);
    // Only speech is matched, with the pauses inside it: the silence that
    // follows is left out.
    int sinceSpeech = kPauseKept;
    for (std::size_t j = 0; j < all.size(); ++j) {
        bool speech = false;
        for (std::size_t t = j * kFramesPerFeature; t < (j + 1) * kFramesPerFeature && t < speech_.size(); ++t)
            speech = speech || speech_[t];
        sinceSpeech = speech ? 0 : sinceSpeech + kFramesPerFeature;
        if (sinceSpeech >= kPauseKept) continue;
        said.features.push_back(all[j]);
        said.startable.push_back(speech);
    }
    return said;
}

PhraseSpotter::Match PhraseSpotter::Score(const Line& said, std::span<const PhraseTemplate> phrases,
                                          std::span<const float> frames) {
    Match match;
    if (said.features.empty()) return match;
    for (const PhraseTemplate& phrase : phrases) {
        if (phrase.frames <= 0 || static_cast<std::size_t>(phrase.offset + phrase.frames) * kC > frames.size())
            continue;
        const float cost =
            Warp(said.features, said.startable, frames.data() + static_cast<std::size_t>(phrase.offset) * kC, phrase.frames);
        float& best = phrase.machine ? match.machine : match.person;
        best = std::min(best, cost);
    }
    return match;
}

float PhraseSpotter::Likeness(std::pair<int, int> a, std::pair<int, int> b) const {
    const std::vector<Feature> all = CompareFeatures(frames_, speech_);
    const auto range = [&](std::pair<int, int> r) {
        const int first = std::max(r.first, 0) / kFramesPerFeature;
        const int last = std::min(r.second / kFramesPerFeature, static_cast<int>(all.size()) - 1);
        return std::pair{first, last - first + 1};
    };
    const auto [aFirst, n] = range(a);
    const auto [bFirst, m] = range(b);
    if (n < 2 || m < 2 || n > 2 * m || m > 2 * n) return 1.0F;
    // The warping with both ends fixed: it starts on both first features
    // and ends on both last ones.
    Warping warping(all[static_cast<std::size_t>(bFirst)].data(), static_cast<std::size_t>(m));
    for (int t = 0; t < n; ++t) warping.Step(all[static_cast<std::size_t>(aFirst + t)].data(), t == 0);
    const float end = warping.endCost();
    return end == kNone ? 1.0F : end / warping.endLength();
}

void PhraseSpotter::Judge(const Line& line, const Match& match) {
    judged_ = match;
    judgedSpeech_ = line.speechFrames;
}

bool PhraseSpotter::HeardRecording() const {
    if (speechFrames_ < kMinSpeechFrames || judgedSpeech_ < 0) return false;
    return judged_.machine - kPersonWeight * judged_.person < kMachinePhrase;
}

bool PhraseSpotter::HeardPerson() const {
    if (speechFrames_ < kMinSpeechFrames || judgedSpeech_ < 0 || HeardRecording()) return false;
    return judged_.person < kPersonPhrase && judged_.person < judged_.machine;
}

}  // namespace zorvan::audio
