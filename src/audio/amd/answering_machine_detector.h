#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include "audio/amd/amd_classifier.h"
#include "audio/amd/amd_window.h"
#include "audio/amd/phrase_spotter.h"
#include "audio/amd/tone_detector.h"
#include "audio/vad/vad.h"
#include "platform/event.h"

namespace zorvan {
class EventLoop;
}

namespace zorvan::audio {

enum AmdState : int { AmdDetecting = 512, AmdIdle = 513, AmdAwaitGreetingEnd = 514 };

// How a 10 ms chunk (160 samples) is shown to the detector, whose frame is
// 320 values. Each chunk gets exactly one decision either way.
enum class ChunkFrames {
    Upsampled,  // the chunk interpolated to 320 values: one frame per chunk
    Paired,     // two chunks make one frame of 320 fresh samples; the first
                // of the pair keeps the previous frame's decision
};

// One detector decision per chunk: presentation and detector state.
class ChunkVad {
public:
    explicit ChunkVad(ChunkFrames frames);
    ~ChunkVad();
    ChunkVad(const ChunkVad&) = delete;
    ChunkVad& operator=(const ChunkVad&) = delete;
    int Decide(const std::int16_t* samples);  // 160 samples
    void Reset();
    VadState* state() { return state_; }
    ChunkFrames frames() const { return frames_; }

private:
    ChunkFrames frames_;
    VadState* state_ = nullptr;
    float frame_[kVadFrameLength] = {};
    bool half_ = false;
    int last_ = 0;
    float previousSample_ = 0;
};

// Tells a person from an answering machine over the remote party's voice,
// in one of two modes chosen when a detection starts:
// - the silence count: within the decision window a line that is silent
//   long enough in total is a person, one that keeps talking a machine;
// - the opening's shape (AmdClassifier): what was said, how long, the
//   silence after it and any tone, with the phrases only recordings say
//   (PhraseSpotter) turning a person into a machine; the detector keeps
//   listening after a machine verdict so that a beep is not missed before
//   the wait begins.
// For a machine, the end of a beep marks the end of its greeting at once,
// and without one threshold seconds of unbroken silence do. The step
// runs on the output stream thread, the operations on the main thread; one
// lock keeps them apart. The phrase match, the one costly part, runs on the
// stream thread with the lock let go, so the main thread never waits on it.
class AnsweringMachineDetector {
public:
    static constexpr int kGraceChunks = 80;

    explicit AnsweringMachineDetector(ChunkFrames frames = ChunkFrames::Upsampled);

    void SetNotify(EventLoop* loop, TargetId target);
    // The sensitivity setting (1..3), read at every use.
    void SetThreshold(std::function<int()> threshold) { threshold_ = std::move(threshold); }
    // The detection mode setting (0 or 1), read when a detection starts.
    void SetMode(std::function<int()> mode) { mode_ = std::move(mode); }
    // A decision source in place of the detector (tests).
    void SetDecider(std::function<int(const std::int16_t*)> decide) { decider_ = std::move(decide); }
    // The phrase match in place of PhraseSpotter::Score (tests).
    using PhraseMatch = std::function<PhraseSpotter::Match(const PhraseSpotter::Line&)>;
    void SetPhraseMatch(PhraseMatch match) { phraseMatch_ = std::move(match); }

    // Opens a detection window; the verdict and the end-of-greeting cue it
    // leads to carry the returned number in their lParam, so a message that
    // comes too late for its call is known as such.
    std::uint32_t StartDetection();
    void DetectionTimeout();
    void AwaitGreetingEnd();
    // Ends any detection or wait without a verdict or cue (the call ended,
    // a new one starts, dialing stopped).
    void Cancel();
    std::uint32_t generation() const;
    // One 320-byte chunk of the remote party's voice.
    void Step(const std::uint8_t* chunk);

    // In the second mode, a pause after which what was said so far is
    // matched against the phrases only recordings say.
    static constexpr int kPhrasePause = 30;
    // Two words this alike (PhraseSpotter::Likeness) are someone calling.
    static constexpr float kAlikeWords = 0.25F;
    // A beep that ended this many chunks before the wait begins still cues
    // the message at once.
    static constexpr int kRecentBeepChunks = 30;

    // The decision window for a threshold (in the silence count), and the
    // silence limits.
    static int WindowMs(int threshold) { return DetectionWindowMs(threshold, kAmdModeSilence); }
    static int SilenceLimit(int threshold) { return threshold > 2 ? 200 : 100; }
    static int ClosingSilence(int threshold) { return threshold * 100; }

    AmdState state() const { return state_; }
    int mode() const;
    int voicedChunks() const;
    int silentChunks() const;
    int graceChunks() const;
    int closingSilence() const;
    ChunkVad& vad() { return vad_; }

private:
    int Threshold() const { return threshold_ ? threshold_() : 2; }
    void Post(std::uint32_t id, std::uintptr_t wParam);
    // False when the detection ended or started anew during a phrase match.
    bool StepShape(const std::int16_t* samples, int decision, bool canNotify, std::unique_lock<std::mutex>& lock);
    bool JudgePhrases(std::unique_lock<std::mutex>& lock);
    void Verdict(AmdClassifier::Verdict verdict);
    bool RecordingsPhrase();
    void Cue();  // posts the greeting-end cue and ends the wait
    void ResetShape();
    void CloseShape();  // the window's close in the second mode

    mutable std::mutex mutex_;
    std::atomic<AmdState> state_{AmdIdle};
    std::int32_t voiced_ = 0;
    std::int32_t silent_ = 0;
    std::int32_t grace_ = 0;
    std::int32_t closing_ = 0;
    std::uint32_t generation_ = 0;
    ChunkVad vad_;
    EventLoop* loop_ = nullptr;
    TargetId notify_ = kNoTarget;
    std::function<int()> threshold_;
    std::function<int(const std::int16_t*)> decider_;
    std::function<int()> mode_;
    PhraseMatch phraseMatch_;
    int activeMode_ = kAmdModeSilence;
    AmdClassifier classifier_;
    LineLevel level_;
    ToneDetector tone_;
    PhraseSpotter phrases_;
    // After a machine verdict in the second mode, until the wait begins.
    std::atomic<bool> listening_{false};
    int sinceBeep_ = -1;  // chunks since a beep ended, -1 when none is recent
    int quietRun_ = 0;    // chunks the detector has called silence, unbroken
    bool holdAsked_ = false;     // whether a person's phrase was looked for ...
    bool heldByPerson_ = false;  // ... and held off a machine verdict
    bool matching_ = false;      // a phrase match is under way, the lock let go
    bool closeDue_ = false;      // the window closed meanwhile
};

}  // namespace zorvan::audio
