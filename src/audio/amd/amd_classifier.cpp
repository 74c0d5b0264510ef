#include "audio/amd/amd_classifier.h"

#include <algorithm>

namespace zorvan::audio {

bool LineLevel::Loud(float meanSquare) {
    const float level = std::max(meanSquare, kLowestFloor);
    floor_ = floor_ < 0 ? level : std::min(level, floor_ * kRisePerChunk);
    return level > floor_ * kSpeechOverFloor;
}

void AmdClassifier::Reset() {
    auto check = std::move(callsCheck_);
    *this = AmdClassifier();
    callsCheck_ = std::move(check);
}

bool AmdClassifier::Calls() {
    if (!callsCheck_) return true;
    if (checkedAt_ != lastSpeech_) {
        calls_ = callsCheck_(wordList_);
        checkedAt_ = lastSpeech_;
    }
    return calls_;
}

int AmdClassifier::SilenceNeeded() {
    if (span() <= kShortAnswer) return kQuickSilence;
    return words_ >= 3 && longestWord_ <= kShortWord && Calls() ? kQuickSilence : kPauseSilence;
}

AmdClassifier::Verdict AmdClassifier::Feed(bool speech, bool toneHeard) {
    const int t = chunks_++;
    if (toneHeard) return Verdict::Machine;
    if (speech) {
        if (onset_ < 0) {
            onset_ = wordStart_ = t;
            words_ = 1;
            wordList_.push_back({t, t});
        } else if (t - lastSpeech_ - 1 >= kSplitChunks) {
            if (t - lastSpeech_ - 1 >= kResumeGap) resumed_ = t;
            wordStart_ = t;
            ++words_;
            wordList_.push_back({t, t});
        }
        lastSpeech_ = t;
        wordList_.back().second = t;
        longestWord_ = std::max(longestWord_, t - wordStart_ + 1);
        // A person who gets no answer says something short again; a
        // recording goes on with its text, as it does after a late start.
        const bool goesOnAfterPause = resumed_ >= 0 && t - resumed_ + 1 >= kResumedTalk;
        const bool lateAndLong = onset_ >= kLateOnset && span() >= kLateTalk;
        return span() >= kTalkingOn || goesOnAfterPause || lateAndLong ? Verdict::Machine : Verdict::None;
    }
    if (onset_ < 0) return Verdict::None;
    return silence() >= SilenceNeeded() ? Verdict::Person : Verdict::None;
}

AmdClassifier::Verdict AmdClassifier::Timeout() const {
    if (onset_ < 0) return Verdict::Person;  // picked up and said nothing: someone listening
    if (silence() >= kClosingSilence) return Verdict::Person;
    return Verdict::Machine;
}

}  // namespace zorvan::audio
