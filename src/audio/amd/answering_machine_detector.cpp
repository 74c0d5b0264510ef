#include "audio/amd/answering_machine_detector.h"

#include <cstring>

#include "audio/stream_format.h"
#include "platform/event_loop.h"
#include "platform/um_events.h"

namespace zorvan::audio {

ChunkVad::ChunkVad(ChunkFrames frames) : frames_(frames) { vad_init(&state_); }

ChunkVad::~ChunkVad() { vad_exit(&state_); }

void ChunkVad::Reset() {
    if (state_ != nullptr) vad_reset(state_);
    half_ = false;
    last_ = 0;
    previousSample_ = 0;
}

int ChunkVad::Decide(const std::int16_t* samples) {
    if (state_ == nullptr) return 0;
    constexpr int n = static_cast<int>(kChunkSamples);
    if (frames_ == ChunkFrames::Upsampled) {
        // Linear interpolation, continuing from the previous chunk's last sample.
        for (int i = 0; i < n; ++i) {
            const auto s = static_cast<float>(samples[i]);
            frame_[2 * i] = (previousSample_ + s) * 0.5F;
            frame_[2 * i + 1] = s;
            previousSample_ = s;
        }
        return last_ = vad_process(state_, frame_);
    }
    float* half = frame_ + (half_ ? n : 0);
    for (int i = 0; i < n; ++i) half[i] = static_cast<float>(samples[i]);
    if (!half_) {
        half_ = true;
        return last_;
    }
    half_ = false;
    return last_ = vad_process(state_, frame_);
}

AnsweringMachineDetector::AnsweringMachineDetector(ChunkFrames frames) : vad_(frames) {
    // People calling into a silent line repeat themselves ("Hello? Hello?");
    // a greeting's first phrase said in pieces does not.
    classifier_.SetCallsCheck([this](const std::vector<AmdClassifier::Word>& words) {
        const int onset = words.front().first;
        const auto from = [onset](AmdClassifier::Word w) { return std::pair{w.first - onset, w.second - onset}; };
        for (std::size_t i = 0; i < words.size(); ++i) {
            for (std::size_t j = i + 1; j < words.size(); ++j) {
                if (phrases_.Likeness(from(words[i]), from(words[j])) < kAlikeWords) return true;
            }
        }
        return false;
    });
}

void AnsweringMachineDetector::SetNotify(EventLoop* loop, TargetId target) {
    std::lock_guard lock(mutex_);
    loop_ = loop;
    notify_ = target;
}

void AnsweringMachineDetector::Post(std::uint32_t id, std::uintptr_t wParam) {
    loop_->post(notify_, Event{id, wParam, static_cast<std::intptr_t>(generation_)});
}

void AnsweringMachineDetector::ResetShape() {
    classifier_.Reset();
    level_.Reset();
    tone_.Reset();
    phrases_.Reset();
    listening_ = false;
    sinceBeep_ = -1;
    quietRun_ = 0;
    heldByPerson_ = holdAsked_ = false;
    closeDue_ = false;
}

int AnsweringMachineDetector::mode() const {
    std::lock_guard lock(mutex_);
    return activeMode_;
}

std::uint32_t AnsweringMachineDetector::StartDetection() {
    std::lock_guard lock(mutex_);
    // A window opens on fresh counts, whatever the last one left behind.
    voiced_ = silent_ = grace_ = closing_ = 0;
    vad_.Reset();
    ResetShape();
    activeMode_ = AmdMode(mode_ ? mode_() : kAmdModeSilence);
    ++generation_;
    state_ = AmdDetecting;
    return generation_;
}

void AnsweringMachineDetector::Cancel() {
    std::lock_guard lock(mutex_);
    voiced_ = silent_ = grace_ = closing_ = 0;
    vad_.Reset();
    ResetShape();
    ++generation_;  // whatever is still on its way belongs to no window now
    state_ = AmdIdle;
}

std::uint32_t AnsweringMachineDetector::generation() const {
    std::lock_guard lock(mutex_);
    return generation_;
}

void AnsweringMachineDetector::AwaitGreetingEnd() {
    std::lock_guard lock(mutex_);
    // The silence since the greeting's last words counts, when the line was
    // followed up to now: a verdict that came in a pause (a recording's
    // phrase heard at its end) does not put the message off.
    closing_ = listening_ ? quietRun_ : 0;
    state_ = AmdAwaitGreetingEnd;
    const bool heardBeep = listening_ && sinceBeep_ >= 0 && sinceBeep_ <= kRecentBeepChunks;
    // The beep is listened for from now on, if it was not already.
    if (!listening_) tone_.Reset();
    listening_ = false;
    // The beep ended while the verdict was on its way, or the greeting
    // has already been silent long enough: record now.
    if ((heardBeep || closing_ >= ClosingSilence(Threshold())) && loop_ != nullptr && notify_ != kNoTarget) Cue();
}

void AnsweringMachineDetector::Cue() {
    state_ = AmdIdle;
    closing_ = 0;
    Post(um::UM_GREETING_CUE, 0);
    vad_.Reset();
    ResetShape();
}

bool AnsweringMachineDetector::RecordingsPhrase() {
    // No recording says as little as a short answer ("Yes?"): a word that
    // happens to sound like a recording's phrase is someone answering.
    return classifier_.speechSpan() > AmdClassifier::kShortAnswer && phrases_.HeardRecording();
}

void AnsweringMachineDetector::Verdict(AmdClassifier::Verdict verdict) {
    // Silence after a greeting is how a person waits, and how a recording
    // ends that has no beep: what was said tells them apart.
    if (verdict == AmdClassifier::Verdict::Person && RecordingsPhrase()) verdict = AmdClassifier::Verdict::Machine;
    state_ = AmdIdle;
    const bool machine = verdict == AmdClassifier::Verdict::Machine;
    Post(um::UM_AMD_RESULT, machine ? 0 : 1);
    // Keep following a machine: its beep may end before the wait begins.
    listening_ = machine;
}

void AnsweringMachineDetector::CloseShape() {
    // The classifier decides at the close; the line is still followed after
    // a machine verdict, so nothing of the detectors is reset.
    if (state_ == AmdDetecting && loop_ != nullptr && notify_ != kNoTarget) {
        auto verdict = classifier_.Timeout();
        // Still talking, but in a person's words (unless a recording's
        // phrase came after them). The words are as judged at the last
        // pause: what is being said as the window closes is cut off, and
        // the main thread makes no match.
        if (verdict == AmdClassifier::Verdict::Machine && heldByPerson_ && !phrases_.HeardRecording()) {
            verdict = AmdClassifier::Verdict::Person;
        }
        Verdict(verdict);
    }
    if (state_ == AmdDetecting) state_ = AmdIdle;
    if (!listening_ && state_ == AmdIdle) {
        vad_.Reset();
        ResetShape();
    }
}

void AnsweringMachineDetector::DetectionTimeout() {
    std::lock_guard lock(mutex_);
    if (activeMode_ == kAmdModeShape) {
        // A match under way decides things the close depends on (whether
        // a long greeting is a person's): the stream thread closes the
        // window once it is done, in the same step.
        if (matching_) {
            closeDue_ = true;
        } else {
            CloseShape();
        }
        return;
    }
    if (loop_ != nullptr && notify_ != kNoTarget) {
        if (silent_ < SilenceLimit(Threshold())) {
            Post(um::UM_AMD_RESULT, 0);  // kept talking: a machine
        } else if (state_ != AmdIdle) {
            Post(um::UM_AMD_RESULT, 1);
        }
    }
    voiced_ = silent_ = grace_ = closing_ = 0;
    state_ = AmdIdle;
    vad_.Reset();
}

// The phrases are matched against what has been said with the lock let go:
// the main thread may end the detection meanwhile, and the match is then
// for nothing. Only this thread feeds the line, so nothing is said while
// it is matched.
bool AnsweringMachineDetector::JudgePhrases(std::unique_lock<std::mutex>& lock) {
    if (!phrases_.Stale()) return true;
    const PhraseSpotter::Line line = phrases_.Said();
    const std::uint32_t generation = generation_;
    matching_ = true;
    lock.unlock();
    const PhraseSpotter::Match match = phraseMatch_ ? phraseMatch_(line) : PhraseSpotter::Score(line);
    lock.lock();
    matching_ = false;
    if (generation != generation_ || state_ != AmdDetecting) return false;
    phrases_.Judge(line, match);
    return true;
}

bool AnsweringMachineDetector::StepShape(const std::int16_t* samples, int d, bool canNotify,
                                         std::unique_lock<std::mutex>& lock) {
    const ToneDetector::Event tone = tone_.Step(samples);
    float sum = 0;
    for (std::size_t i = 0; i < kChunkSamples; ++i) sum += static_cast<float>(samples[i]) * static_cast<float>(samples[i]);
    const bool loud = level_.Loud(sum / static_cast<float>(kChunkSamples));
    quietRun_ = d == 1 ? 0 : quietRun_ + 1;
    if (tone == ToneDetector::Event::BeepEnded) {
        sinceBeep_ = 0;
    } else if (sinceBeep_ >= 0 && ++sinceBeep_ > kRecentBeepChunks) {
        sinceBeep_ = -1;
    }
    if (state_ == AmdDetecting) {
        const bool speech = d == 1 && loud;
        phrases_.Feed(samples, speech);
        auto verdict = classifier_.Feed(speech, tone == ToneDetector::Event::ToneHeard);
        // Talk that goes on is a recording's, unless it is a person's long
        // greeting ("Good morning, Riverside Garage, ... how can I help?"):
        // the window's close decides. Asked once: the match is costly.
        if (verdict == AmdClassifier::Verdict::Machine && tone != ToneDetector::Event::ToneHeard) {
            if (!holdAsked_) {
                if (!JudgePhrases(lock)) return false;
                heldByPerson_ = phrases_.HeardPerson();
                holdAsked_ = true;
            }
            if (heldByPerson_) verdict = AmdClassifier::Verdict::None;
        }
        // At each pause, what has been said so far may already be a
        // recording's phrase; and a person's answer may be one's words.
        const bool atPause =
            verdict == AmdClassifier::Verdict::None && classifier_.silenceChunks() == kPhrasePause;
        if ((atPause || verdict == AmdClassifier::Verdict::Person) &&
            classifier_.speechSpan() > AmdClassifier::kShortAnswer && !JudgePhrases(lock)) {
            return false;
        }
        if (atPause && RecordingsPhrase()) verdict = AmdClassifier::Verdict::Machine;
        if (verdict != AmdClassifier::Verdict::None && canNotify) Verdict(verdict);
    } else if (state_ == AmdAwaitGreetingEnd && tone == ToneDetector::Event::BeepEnded && canNotify) {
        Cue();  // the machine has beeped: it records from now on
    }
    return true;
}

void AnsweringMachineDetector::Step(const std::uint8_t* chunk) {
    if (state_ == AmdIdle && !listening_) return;  // the common case, without the lock
    std::unique_lock lock(mutex_);
    if (state_ == AmdIdle && !listening_) return;
    std::int16_t samples[kChunkSamples];
    std::memcpy(samples, chunk, sizeof samples);
    const int d = decider_ ? decider_(samples) : vad_.Decide(samples);
    const bool canNotify = loop_ != nullptr && notify_ != kNoTarget;
    if (activeMode_ == kAmdModeShape) {
        if (!StepShape(samples, d, canNotify, lock)) return;
        if (closeDue_) {  // the window closed during the match
            closeDue_ = false;
            CloseShape();
        }
        if (state_ == AmdIdle) return;
    }
    const int threshold = Threshold();
    if (state_ == AmdDetecting && activeMode_ == kAmdModeSilence) {
        if (d == 1) {
            ++voiced_;
        } else if (voiced_ == 0 && grace_ < kGraceChunks) {
            ++grace_;
        } else {
            ++silent_;
            if (silent_ >= SilenceLimit(threshold) && canNotify) {
                state_ = AmdIdle;
                Post(um::UM_AMD_RESULT, 1);  // answered briefly and waits: a person
            }
        }
    }
    if (state_ == AmdAwaitGreetingEnd) {
        // Either mode: the end of a beep is the moment to record.
        if (activeMode_ == kAmdModeSilence && tone_.Step(samples) == ToneDetector::Event::BeepEnded && canNotify) {
            Cue();
            return;
        }
        if (d == 1) {
            closing_ = 0;
        } else if (++closing_ >= ClosingSilence(threshold) && canNotify) {
            Cue();  // threshold seconds of unbroken silence: the greeting has ended
        }
    }
}

int AnsweringMachineDetector::voicedChunks() const {
    std::lock_guard lock(mutex_);
    return voiced_;
}
int AnsweringMachineDetector::silentChunks() const {
    std::lock_guard lock(mutex_);
    return silent_;
}
int AnsweringMachineDetector::graceChunks() const {
    std::lock_guard lock(mutex_);
    return grace_;
}
int AnsweringMachineDetector::closingSilence() const {
    std::lock_guard lock(mutex_);
    return closing_;
}

}  // namespace zorvan::audio
