#include "audio/amd/phrase_spotter.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zorvan::audio {
namespace {

constexpr int kC = kFeatureSize;

constexpr float kNone = std::numeric_limits<float>::infinity();

// Dynamic time warping of a line onto a phrase, one line frame (a column)
// at a time. Column t holds, for each phrase frame i, the cost and length
// of the best path ending at (i, t); a path moves one phrase frame per line
// frame, or skips one of either. Paths are compared by their mean cost,
// cross-multiplied so that no division is needed; a column depends only on
// the two before it, so each is computed without branches.
class Warping {
public:
    explicit Warping(std::size_t phraseFrames)
        : distance_(phraseFrames), cost0_(phraseFrames, kNone), cost1_(phraseFrames, kNone),
          cost2_(phraseFrames, kNone), len0_(phraseFrames, 1.0F), len1_(phraseFrames, 1.0F),
          len2_(phraseFrames, 1.0F) {}

    // The next column: line frame x against every phrase frame (kC floats
    // each, one after another); a path may start on it when `start`.
    void Step(const float* x, const float* phrase, bool start) {
        const std::size_t size = distance_.size();
        float* distance = distance_.data();
        for (std::size_t i = 0; i < size; ++i) {
            const float* p = phrase + i * kC;
            float dot = 0.0F;
            for (int k = 0; k < kC; ++k) dot += x[k] * p[k];
            distance[i] = 1.0F - dot;
        }
        float* cost0 = cost0_.data();
        float* len0 = len0_.data();
        const float* cost1 = cost1_.data();
        const float* len1 = len1_.data();
        const float* cost2 = cost2_.data();
        const float* len2 = len2_.data();
        cost0[0] = start ? distance[0] : kNone;
        len0[0] = 1.0F;
        for (std::size_t i = 1; i < size; ++i) {
            float cost = cost1[i - 1];
            float length = len1[i - 1];
            const bool skipLine = cost2[i - 1] * length < cost * len2[i - 1];
            cost = skipLine ? cost2[i - 1] : cost;
            length = skipLine ? len2[i - 1] : length;
            if (i >= 2) {
                const bool skipPhrase = cost1[i - 2] * length < cost * len1[i - 2];
                cost = skipPhrase ? cost1[i - 2] : cost;
                length = skipPhrase ? len1[i - 2] : length;
            }
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
    std::vector<float> distance_;
    std::vector<float> cost0_, cost1_, cost2_;
    std::vector<float> len0_, len1_, len2_;
};

// The cheapest mean distance of a match of one phrase anywhere in the line.
float Warp(const std::vector<Feature>& line, const std::vector<unsigned char>& startable, const float* phrase, int m) {
    Warping warping(static_cast<std::size_t>(m));
    float bestCost = kNone;
    float bestLength = 1.0F;
    for (std::size_t t = 0; t < line.size(); ++t) {
        warping.Step(line[t].data(), phrase, startable[t] != 0);
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
            Warp(said.features, said.startable, frames.data() + static_cast<std::ptrdiff_t>(phrase.offset) * kC, phrase.frames);
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
    Warping warping(static_cast<std::size_t>(m));
    for (int t = 0; t < n; ++t) {
        warping.Step(all[static_cast<std::size_t>(aFirst + t)].data(), all[static_cast<std::size_t>(bFirst)].data(), t == 0);
    }
    const float end = warping.endCost();
    return end == kNone ? 1.0F : end / warping.endLength();
}

void PhraseSpotter::Judge(const Line& line, const Match& match) {
    judged_ = match;
    judgedSpeech_ = line.speechFrames;
}

void PhraseSpotter::JudgeNow() {
    if (!Stale()) return;
    const Line line = Said();
    Judge(line, Score(line));
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
