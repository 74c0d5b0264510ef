#pragma once

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "audio/amd/cepstrum.h"

namespace zorvan::audio {

// A spoken phrase to look for, as cepstrum frames (mean removed, each frame
// of unit length), rendered at build time by a speech synthesiser in several
// voices and speeds and sent through a telephone channel.
struct PhraseTemplate {
    bool machine;  // said by recordings ("leave a message"), or by people ("how can I help")
    int offset;    // first frame in PhraseTemplateFrames()
    int frames;
};
std::span<const PhraseTemplate> PhraseTemplates();
std::span<const float> PhraseTemplateFrames();  // kFeatureSize floats per frame

// Listens for the phrases only recordings say, in what the line said during
// the decision window: each chunk's cepstra are kept, and when asked, every
// phrase is matched against them by dynamic time warping with a free start
// and end (a match may be half to twice the phrase's speed). A match's cost
// is the mean cosine distance along its path.
class PhraseSpotter {
public:
    static constexpr int kMaxFrames = 600;       // the decision window
    static constexpr int kPauseKept = 10;        // frames of a pause matched with the speech
    static constexpr int kMinSpeechFrames = 60;  // less than 0.6 s of speech is not judged
    // A recording's phrase: the best machine phrase's cost, less a quarter
    // of the best person's phrase's, is below this.
    static constexpr float kMachinePhrase = 0.16F;
    static constexpr float kPersonWeight = 0.25F;
    // A person's phrase: the best person's phrase costs less than this and
    // less than the best recording's, and no recording's phrase was heard.
    static constexpr float kPersonPhrase = 0.2F;

    struct Match {
        float machine = 1.0F;  // the cheapest match of a recording's phrase
        float person = 1.0F;   // ... and of a person's
    };

    // What has been said so far, as it is matched: taken while the caller
    // keeps the line from changing, matched without holding it up.
    struct Line {
        std::vector<Feature> features;
        std::vector<unsigned char> startable;  // where a match may begin
        int speechFrames = 0;
    };

    PhraseSpotter();
    void Reset();
    // One chunk of 160 samples at 16 kHz, and whether it is speech.
    void Feed(const std::int16_t* samples, bool speech);
    Line Said() const;
    static Match Score(const Line& line, std::span<const PhraseTemplate> phrases = PhraseTemplates(),
                       std::span<const float> frames = PhraseTemplateFrames());
    Match Score(std::span<const PhraseTemplate> phrases = PhraseTemplates(),
                std::span<const float> frames = PhraseTemplateFrames()) const {
        return Score(Said(), phrases, frames);
    }
    // Whether enough has been said to judge, and more than when last judged.
    bool Stale() const { return speechFrames_ >= kMinSpeechFrames && judgedSpeech_ != speechFrames_; }
    // Keeps the match of what was said as the judgement asked for below.
    void Judge(const Line& line, const Match& match);
    // Whether what had been said when last judged holds a recording's phrase.
    bool HeardRecording() const;
    // Whether it holds a person's phrase ("how can I help", "good morning":
    // a recording cannot know the time of day) and no recording's.
    bool HeardPerson() const;
    // How alike two stretches of what was said sound, as chunks counted from
    // the first speech (first and last, inclusive): the mean distance of
    // the best warping of one onto the other, 0 alike, 1 and more unlike.
    float Likeness(std::pair<int, int> a, std::pair<int, int> b) const;
    int speechFrames() const { return speechFrames_; }

private:
    CepstrumFrontEnd frontEnd_;
    std::vector<CepstrumFrontEnd::Frame> frames_;
    std::vector<bool> speech_;
    int speechFrames_ = 0;

    int judgedSpeech_ = -1;  // speechFrames_ when last judged
    Match judged_;
};

}  // namespace zorvan::audio
