#pragma once

#include <functional>
#include <utility>
#include <vector>

namespace zorvan::audio {

// The line's noise floor, followed by its quietest chunks: it drops to any
// quieter chunk at once and rises by about 1 dB a second. Speech is what the
// voice activity detector calls speech and stands 8 dB above the floor;
// this also keeps out what the detector reports while it learns a noisy
// line in the first half second.
class LineLevel {
public:
    static constexpr float kRisePerChunk = 1.0023F;  // 1 dB a second
    static constexpr float kSpeechOverFloor = 6.3F;  // 8 dB
    static constexpr float kLowestFloor = 100.0F;    // -50 dBFS: no line is quieter

    void Reset() { floor_ = -1; }
    // Takes one chunk's mean square and says whether it stands above the floor.
    bool Loud(float meanSquare);
    float floor() const { return floor_; }

private:
    float floor_ = -1;
};

// The second detection mode's decision: a person from an answering machine
// from the shape of what the line says in its first seconds, fed one 10 ms
// chunk at a time with whether it is speech and whether a tone was heard.
// All times are in chunks.
//
// - A tone (a beep, or the network's information signal) is a recording.
// - A person answers and waits: once speech has been heard, enough silence
//   after it is a person: 0.75 s after a short answer (up to 0.65 s from
//   the first word to the last) or a string of short calls ("Hello? Hello?
//   Hello?"), else 2.1 s, longer than the pause inside a greeting.
// - A recording goes on with its text: talk past a person's greeting
//   (4.5 s), 2 s of talk after a pause of 0.6 s, or 2.5 s of talk that only
//   started after the first second is a machine.
// - When the window closes (6 s): no speech at all, or half a second of
//   silence after the speech, is a person; still talking, a machine.
class AmdClassifier {
public:
    enum class Verdict { None, Person, Machine };

    static constexpr int kWindowChunks = 600;      // the decision window: 6 s
    static constexpr int kSplitChunks = 15;        // a gap this long splits speech into words
    static constexpr int kShortAnswer = 65;        // a short answer, first word to last
    static constexpr int kShortWord = 65;          // the longest word of a string of calls
    static constexpr int kQuickSilence = 75;       // waiting after a short answer
    static constexpr int kPauseSilence = 210;      // longer than a greeting's pause
    static constexpr int kTalkingOn = 450;         // longer than a person's greeting
    static constexpr int kResumeGap = 60;          // a pause after which speech starts anew ...
    static constexpr int kResumedTalk = 200;       // ... and goes on this long: a recording
    static constexpr int kLateOnset = 100;         // speech that starts this late ...
    static constexpr int kLateTalk = 250;          // ... and goes on this long: a recording
    static constexpr int kClosingSilence = 50;     // silence enough when the window closes

    // A word: its first and last chunk.
    using Word = std::pair<int, int>;

    // Resets all but the check set below.
    void Reset();
    // Whether a string of short words is someone calling into the line
    // ("Hello? Hi? Hello?": two of the words alike) and not a greeting's
    // first phrase said in pieces; asked once for what has been said. Without
    // it every string of short words counts as calls.
    void SetCallsCheck(std::function<bool(const std::vector<Word>&)> check) { callsCheck_ = std::move(check); }
    // One chunk: whether it is speech, and whether a tone was confirmed in it.
    Verdict Feed(bool speech, bool toneHeard);
    // The verdict when the window closes without one.
    Verdict Timeout() const;

    // Chunks fed so far, and of silence since the last speech.
    int chunks() const { return chunks_; }
    int silenceChunks() const { return silence(); }
    // Chunks from the first speech to the last.
    int speechSpan() const { return span(); }
    const std::vector<Word>& words() const { return wordList_; }

private:
    int span() const { return onset_ < 0 ? 0 : lastSpeech_ - onset_ + 1; }
    int silence() const { return onset_ < 0 ? chunks_ : chunks_ - lastSpeech_ - 1; }
    // The silence that makes a person after what has been said.
    int SilenceNeeded();
    bool Calls();

    int chunks_ = 0;
    int onset_ = -1;        // first chunk of speech
    int lastSpeech_ = -1;
    int resumed_ = -1;      // first chunk of speech after the last long pause
    int wordStart_ = -1;
    int words_ = 0;
    int longestWord_ = 0;
    std::vector<Word> wordList_;
    std::function<bool(const std::vector<Word>&)> callsCheck_;
    int checkedAt_ = -1;  // lastSpeech_ when last checked
    bool calls_ = true;
};

}  // namespace zorvan::audio
