// The phrases of the second detection mode: the cepstrum front end, the
// warping on made-up phrases, and the phrases rendered at build time heard
// by the detector in speech from voices they were not made from, in
// virtual time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <future>
#include <limits>
#include <numbers>
#include <random>

#include "audio/amd/answering_machine_detector.h"
#include "audio/amd/cepstrum.h"
#include "audio/amd/phrase_spotter.h"
#include "platform/um_events.h"
#include "platform/virtual_event_loop.h"
#include "support/audio_fixtures.h"
#include "support/fake_skype_transport.h"
#include "support/temp_dir.h"

namespace zorvan {
namespace {

using namespace audio;

constexpr int kRate = 16000;

// A vowel-like sound: the harmonics of a 120 Hz voice shaped by two formants.
void Vowel(std::vector<std::int16_t>& out, double seconds, double f1, double f2, double amplitude) {
    const auto count = static_cast<std::size_t>(seconds * kRate);
    const std::size_t start = out.size();
    for (std::size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(start + i) / kRate;
        double v = 0;
        for (int h = 1; h * 120.0 < 3800; ++h) {
            const double f = h * 120.0;
            const double gain = std::exp(-std::pow((f - f1) / 120, 2)) + std::exp(-std::pow((f - f2) / 160, 2)) + 0.02;
            v += gain * std::sin(2 * std::numbers::pi * f * t);
        }
        out.push_back(static_cast<std::int16_t>(std::clamp(amplitude * v, -32768.0, 32767.0)));
    }
}

void Quiet(std::vector<std::int16_t>& out, double seconds, std::mt19937& random, double hiss = 30) {
    if (hiss <= 0) {
        out.resize(out.size() + static_cast<std::size_t>(seconds * kRate), 0);
        return;
    }
    std::normal_distribution<double> n(0, hiss);
    for (auto i = static_cast<std::size_t>(seconds * kRate); i > 0; --i)
        out.push_back(static_cast<std::int16_t>(n(random)));
}

// A made-up phrase of three vowels, each `length` seconds long.
std::vector<std::int16_t> Phrase(const double (&formants)[3][2], double length, double amplitude = 3000) {
    std::vector<std::int16_t> out;
    for (const auto& f : formants) Vowel(out, length, f[0], f[1], amplitude);
    return out;
}

std::vector<Feature> FeaturesOf(const std::vector<std::int16_t>& audio) {
    CepstrumFrontEnd frontEnd;
    std::vector<CepstrumFrontEnd::Frame> frames;
    for (std::size_t i = 0; i + 160 <= audio.size(); i += 160) frames.push_back(frontEnd.Step(audio.data() + i));
    return CompareFeatures(frames, std::vector<bool>(frames.size(), true));
}

constexpr double kAh[3][2] = {{700, 1200}, {300, 2300}, {500, 900}};
constexpr double kOther[3][2] = {{400, 2000}, {650, 1000}, {280, 800}};

TEST(CepstrumFrontEnd, FeaturesAreTheSameAtAnyLevelAndDifferForAnotherSound) {
    const auto loud = FeaturesOf(Phrase(kAh, 0.3, 6000));
    const auto quiet = FeaturesOf(Phrase(kAh, 0.3, 600));
    const auto other = FeaturesOf(Phrase(kOther, 0.3, 6000));
    ASSERT_EQ(loud.size(), 45u) << "one feature for each two 10 ms chunks";
    double sameWorst = 1.0;
    double otherMean = 0.0;
    for (std::size_t t = 0; t < loud.size(); ++t) {
        double same = 0;
        double differ = 0;
        double norm = 0;
        for (int k = 0; k < kFeatureSize; ++k) {
            same += loud[t][k] * quiet[t][k];
            differ += loud[t][k] * other[t][k];
            norm += loud[t][k] * loud[t][k];
        }
        EXPECT_NEAR(norm, 1.0, 1e-3);
        sameWorst = std::min(sameWorst, same);
        otherMean += differ / static_cast<double>(loud.size());
    }
    EXPECT_GT(sameWorst, 0.98) << "20 dB quieter, the same sound";
    EXPECT_LT(otherMean, 0.5);
}

// The spotter against a table of two made-up phrases: a recording's and a
// person's.
struct MadeUpTable {
    std::vector<PhraseTemplate> phrases;
    std::vector<float> frames;
    void Add(bool machine, const std::vector<std::int16_t>& audio) {
        const auto features = FeaturesOf(audio);
        phrases.push_back({machine, static_cast<int>(frames.size() / kFeatureSize), static_cast<int>(features.size())});
        for (const auto& f : features) frames.insert(frames.end(), f.begin(), f.end());
    }
};

PhraseSpotter::Match Hear(const std::vector<std::int16_t>& line, const MadeUpTable& table) {
    PhraseSpotter spotter;
    for (std::size_t i = 0; i + 160 <= line.size(); i += 160) {
        double sum = 0;
        for (std::size_t j = i; j < i + 160; ++j) sum += static_cast<double>(line[j]) * line[j];
        spotter.Feed(line.data() + i, sum / 160 > 1e5);
    }
    return spotter.Score(table.phrases, table.frames);
}

TEST(PhraseSpotter, FindsAPhraseAnywhereFasterOrSlowerThanItWasMade) {
    MadeUpTable table;
    table.Add(true, Phrase(kAh, 0.2));
    table.Add(false, Phrase(kOther, 0.2));
    std::mt19937 random(3);
    for (const double length : {0.14, 0.2, 0.3, 0.38}) {
        SCOPED_TRACE(length);
        std::vector<std::int16_t> line;
        Quiet(line, 0.4, random);
        Vowel(line, 0.3, 350, 1800, 3000);  // something else first
        Quiet(line, 0.2, random);
        const auto phrase = Phrase(kAh, length, 1500);
        line.insert(line.end(), phrase.begin(), phrase.end());
        Quiet(line, 1.0, random);
        const auto match = Hear(line, table);
        EXPECT_LT(match.machine, 0.15);
        EXPECT_GT(match.person, match.machine + 0.15);
    }
    // Only other sounds, or the phrase's vowels in another order.
    std::vector<std::int16_t> other;
    Quiet(other, 0.4, random);
    const double shuffled[3][2] = {kAh[2][0], kAh[2][1], kAh[0][0], kAh[0][1], kAh[1][0], kAh[1][1]};
    for (const auto& phrase : {Phrase(kOther, 0.25), Phrase(shuffled, 0.25)})
        other.insert(other.end(), phrase.begin(), phrase.end());
    Quiet(other, 1.0, random);
    const auto match = Hear(other, table);
    EXPECT_GT(match.machine, 0.25);
    EXPECT_LT(match.person, 0.12);
    // Nothing said: nothing matched.
    std::vector<std::int16_t> silence;
    Quiet(silence, 2.0, random);
    EXPECT_EQ(Hear(silence, table).machine, 1.0F);
}

// The warping one cell at a time, as written down: the mean cost of the
// cheapest path from any startable line frame and the phrase's first frame
// to the phrase's last frame, moving one frame of each, or skipping one of
// either. Ties and sums as the spotter keeps them, so the costs are equal.
float PlainWarp(const PhraseSpotter::Line& line, const float* phrase, int m) {
    const float none = std::numeric_limits<float>::infinity();
    const auto n = line.features.size();
    std::vector<std::vector<float>> cost(n, std::vector<float>(static_cast<std::size_t>(m), none));
    std::vector<std::vector<float>> length(n, std::vector<float>(static_cast<std::size_t>(m), 1.0F));
    float best = none;
    float bestLength = 1.0F;
    for (std::size_t t = 0; t < n; ++t) {
        for (int i = 0; i < m; ++i) {
            float dot = 0;
            for (int k = 0; k < kFeatureSize; ++k) dot += line.features[t][static_cast<std::size_t>(k)] * phrase[i * kFeatureSize + k];
            const float d = 1.0F - dot;
            auto& c = cost[t][static_cast<std::size_t>(i)];
            auto& l = length[t][static_cast<std::size_t>(i)];
            if (i == 0) {
                c = line.startable[t] != 0 ? d : none;
                continue;
            }
            const auto at = [&](std::size_t tt, int ii) { return std::pair{t >= tt ? cost[t - tt][static_cast<std::size_t>(ii)] : none, t >= tt ? length[t - tt][static_cast<std::size_t>(ii)] : 1.0F}; };
            auto [pc, pl] = at(1, i - 1);
            for (const auto& [oc, ol] : {at(2, i - 1), i >= 2 ? at(1, i - 2) : std::pair{none, 1.0F}}) {
                if (oc * pl < pc * ol) {
                    pc = oc;
                    pl = ol;
                }
            }
            c = pc + d;
            l = pl + 1.0F;
        }
        const float endCost = cost[t].back();
        const float endLength = length[t].back();
        if (endCost * bestLength < best * endLength) {
            best = endCost;
            bestLength = endLength;
        }
    }
    return best == none ? none : best / bestLength;
}

TEST(PhraseSpotter, TheMatchIsTheWarpingWrittenOutCellByCell) {
    // Random unit features, alike enough that paths cost less than the
    // clamp of 1: lines and phrases of every length around the blocks the
    // match works in, a match starting only where speech is.
    std::mt19937 random(5);
    std::normal_distribution<float> value(1.0F, 1);
    const auto unit = [&] {
        Feature f;
        float sum = 0;
        for (float& v : f) {
            v = value(random);
            sum += v * v;
        }
        for (float& v : f) v /= std::sqrt(sum);
        return f;
    };
    for (const int n : {1, 2, 7, 30}) {
        PhraseSpotter::Line line;
        for (int t = 0; t < n; ++t) {
            line.features.push_back(unit());
            line.startable.push_back(t % 3 != 2);
        }
        line.speechFrames = n;
        for (int m = 1; m <= 13; ++m) {
            SCOPED_TRACE(testing::Message() << n << " line frames, " << m << " phrase frames");
            std::vector<float> frames;
            for (int i = 0; i < m; ++i) {
                const Feature f = unit();
                frames.insert(frames.end(), f.begin(), f.end());
            }
            const PhraseTemplate phrase[] = {{true, 0, m}};
            const float plain = PlainWarp(line, frames.data(), m);
            if (m <= n) {
                EXPECT_LT(plain, 1.0F) << "a path exists: the comparison below counts";
            }
            EXPECT_EQ(PhraseSpotter::Score(line, phrase, frames).machine, std::min(plain, 1.0F));
        }
    }
}

// A detector, the line it hears, and where its verdicts go.
struct DetectorOnALine {
    VirtualEventLoop loop;
    test::EventLog log;
    ScopedTarget target{loop, log};
    AnsweringMachineDetector amd;
    std::vector<std::int16_t> line;
};

// The detector in the second mode with its own voice activity detector,
// fed speech rendered by espeak-ng through a telephone channel in voices
// the phrase table was not made from.
struct SpokenAnswer : DetectorOnALine {
    std::size_t speechEnd = 0;  // chunk

    // Each text after the first follows a pause of `pause` seconds; spoken
    // at `speed` words a minute, on a line with `hiss` (its deviation).
    SpokenAnswer(const std::vector<std::string>& texts, const std::string& voice, double pause = 1.5, int speed = 160,
                 double hiss = 30) {
        test::TempDir dir;
        const std::string raw = dir / "raw.wav";
        const std::string phone = dir / "line.wav";
        const std::string wav = dir / "speech.wav";
        std::mt19937 random(11);
        Quiet(line, 0.3, random, hiss);
        for (const std::string& text : texts) {
            if (&text != &texts.front()) Quiet(line, pause, random, hiss);
            EXPECT_TRUE(test::Run("espeak-ng -v " + voice + " -s " + std::to_string(speed) + " -w '" + raw + "' '" + text +
                                  "' && sox -R -q -V1 '" + raw + "' -r 8000 -e u-law '" + phone +
                                  "' sinc 300-3400 && sox -R -q -V1 '" + phone + "' -r 16000 -e signed -b 16 '" + wav +
                                  "' reverse silence 1 0.02 0.5% reverse"));
            const auto speech = test::ReadWav(wav);
            line.insert(line.end(), speech.begin(), speech.end());
        }
        speechEnd = line.size() / 160;
        Quiet(line, 5.0, random, hiss);
        amd.SetNotify(&loop, target.id());
        amd.SetThreshold([] { return 2; });
        amd.SetMode([] { return kAmdModeShape; });
    }
    // The verdict (0: a machine, 1: a person) and the chunk it came at.
    std::pair<int, std::size_t> Run() {
        amd.StartDetection();
        for (std::size_t i = 0; i < line.size() / 160 && i < AmdClassifier::kWindowChunks; ++i) {
            amd.Step(reinterpret_cast<const std::uint8_t*>(line.data() + i * 160));
            loop.runPending();
            for (const auto& e : log.Take()) {
                if (e.id == um::UM_AMD_RESULT) return {static_cast<int>(e.wParam), i + 1};
            }
        }
        amd.DetectionTimeout();  // the window's timer
        loop.runPending();
        for (const auto& e : log.Take()) {
            if (e.id == um::UM_AMD_RESULT) return {static_cast<int>(e.wParam), AmdClassifier::kWindowChunks};
        }
        return {-1, 0};
    }
};

TEST(AnsweringMachineDetectionShape, ARecordingsPhraseMakesAShortGreetingWithoutABeepAMachine) {
    const std::string voices[] = {"en-us+m2", "en-gb+f4"};
    for (const std::string& voice : voices) {
        SCOPED_TRACE(voice);
        for (const char* text : {"Hi, this is Robin. Please leave a message.", "Sam here, I will call you back.",
                                 "The number you have dialed is not in service."}) {
            SCOPED_TRACE(text);
            SpokenAnswer answer({text}, voice);
            const auto [verdict, at] = answer.Run();
            EXPECT_EQ(verdict, 0);
            // Found at the first pause after the greeting (the voice
            // activity detector holds on for about half a second), before
            // the silence would have made it a person.
            EXPECT_LE(at, answer.speechEnd + 100);
        }
        for (const char* text : {"Good afternoon, Oak Street Garage, how can I help?",
                                 "Hello, this is Chris, who is calling please?", "Hello? Hello? Hello?"}) {
            SCOPED_TRACE(text);
            SpokenAnswer answer({text}, voice);
            const auto [verdict, at] = answer.Run();
            EXPECT_EQ(verdict, 1);
            EXPECT_GT(at, answer.speechEnd) << "after the person has stopped";
        }
    }
}

TEST(AnsweringMachineDetectionShape, NoMoreThanAShortAnswerIsARecordingsPhrase) {
    // A recording's own words in one of the table's voices, on a quiet line:
    // said quickly they last no longer than someone's "Yes?", and are
    // someone answering; said at a greeting's pace they are a recording's.
    SpokenAnswer quick({"Message please."}, "en-us+m1", 0, 240, 0);
    EXPECT_EQ(quick.Run().first, 1);
    SpokenAnswer slower({"Message please."}, "en-us+m1", 0, 200, 0);
    const auto [verdict, at] = slower.Run();
    EXPECT_EQ(verdict, 0);
    EXPECT_LE(at, slower.speechEnd + 100) << "at the first pause after it";
}

TEST(AnsweringMachineDetectionShape, AGreetingThatTalksOnIsAMachineUnlessItIsInAPersonsWords) {
    // Said slowly, both talk past the longest greeting a person gives.
    for (const std::string voice : {"en-us+m2", "en-gb+f4"}) {
        SCOPED_TRACE(voice);
        SpokenAnswer person({"Good morning, Riverside Garage, Paul here, what can I do for you?"}, voice, 0, 105);
        ASSERT_GT(person.speechEnd, 500u);
        EXPECT_EQ(person.Run(), std::make_pair(1, std::size_t{AmdClassifier::kWindowChunks}))
            << "a person, when the window closes";
        SpokenAnswer machine({"Hello, you have reached the Parkers, we are not at home, please leave a message."}, voice, 0,
                             105);
        const auto [verdict, at] = machine.Run();
        EXPECT_EQ(verdict, 0);
        EXPECT_LT(at, machine.speechEnd) << "while it talks";
    }
}

// A detector in the second mode on made-up speech: the level decides what
// is speech.
void LevelDecides(AnsweringMachineDetector& amd, VirtualEventLoop& loop, TargetId target) {
    amd.SetNotify(&loop, target);
    amd.SetThreshold([] { return 2; });
    amd.SetMode([] { return kAmdModeShape; });
    amd.SetDecider([](const std::int16_t* s) {
        double sum = 0;
        for (int i = 0; i < 160; ++i) sum += static_cast<double>(s[i]) * s[i];
        return sum / 160 > 1e5 ? 1 : 0;
    });
}

TEST(AnsweringMachineDetectionShape, CallsThatRepeatAreAPersonAGreetingInPiecesWaits) {
    // Three short words, the words as the level decides them: the same
    // word three times is someone calling, a person at the quick wait;
    // three different ones could be a greeting's first phrase in pieces,
    // which waits as long as after a sentence.
    constexpr double kThird[3][2] = {{350, 1800}, {600, 1100}, {450, 2100}};
    for (const bool alike : {true, false}) {
        SCOPED_TRACE(alike);
        VirtualEventLoop loop;
        test::EventLog log;
        ScopedTarget target{loop, log};
        AnsweringMachineDetector amd;
        LevelDecides(amd, loop, target.id());
        std::mt19937 random(4);
        std::vector<std::int16_t> line;
        Quiet(line, 0.3, random);
        for (const auto* word : {&kAh, &kOther, &kThird}) {
            const auto sound = Phrase(alike ? kAh : *word, 0.15);
            line.insert(line.end(), sound.begin(), sound.end());
            Quiet(line, 0.3, random);
        }
        const std::size_t end = line.size() / 160 - 30;
        Quiet(line, 3.0, random);
        amd.StartDetection();
        std::size_t at = 0;
        for (std::size_t i = 0; i < line.size() / 160 && at == 0; ++i) {
            amd.Step(reinterpret_cast<const std::uint8_t*>(line.data() + i * 160));
            loop.runPending();
            for (const auto& e : log.Take()) {
                if (e.id == um::UM_AMD_RESULT) {
                    EXPECT_EQ(e.wParam, 1u);
                    at = i + 1;
                }
            }
        }
        const int wait = alike ? AmdClassifier::kQuickSilence : AmdClassifier::kPauseSilence;
        EXPECT_NEAR(static_cast<double>(at), static_cast<double>(end + wait), 3.0);
    }
    // Likeness on its own: a stretch is like itself, not like silence.
    PhraseSpotter spotter;
    std::vector<std::int16_t> audio;
    std::mt19937 random(2);
    const auto ah = Phrase(kAh, 0.2);
    const auto other = Phrase(kOther, 0.2);
    for (const auto* piece : {&ah, &other, &ah}) {
        audio.insert(audio.end(), piece->begin(), piece->end());
        Quiet(audio, 0.2, random);
    }
    for (std::size_t i = 0; i + 160 <= audio.size(); i += 160) spotter.Feed(audio.data() + i, true);
    EXPECT_LT(spotter.Likeness({0, 59}, {160, 219}), 0.05) << "the same vowels again";
    EXPECT_GT(spotter.Likeness({0, 59}, {80, 139}), 0.3) << "other vowels";
    EXPECT_EQ(spotter.Likeness({0, 59}, {60, 65}), 1.0F) << "far too short to compare";
}

// A detector on made-up speech with the phrase match replaced, so that the
// test sees when it runs.
struct MatchWatch : DetectorOnALine {
    int matches = 0;

    // Talk, silence, and talk once more when `again` is given.
    explicit MatchWatch(double talk, double silence = 3.0, double again = 0) {
        LevelDecides(amd, loop, target.id());
        std::mt19937 random(8);
        Quiet(line, 0.3, random);
        Talk(talk);
        Quiet(line, silence, random);
        if (again > 0) {
            Talk(again);
            Quiet(line, 3.0, random);
        }
    }
    void Talk(double seconds) {
        const auto until = line.size() + static_cast<std::size_t>(seconds * kRate);
        while (line.size() < until) {
            const auto sound = Phrase(kAh, 0.2);
            line.insert(line.end(), sound.begin(), sound.end());
        }
    }
    // Steps chunks up to `end`; the verdicts posted on the way.
    std::vector<std::uintptr_t> Run(std::size_t end) {
        std::vector<std::uintptr_t> verdicts;
        for (std::size_t i = 0; i < end && i < line.size() / 160; ++i) {
            amd.Step(reinterpret_cast<const std::uint8_t*>(line.data() + i * 160));
            loop.runPending();
            for (const auto& e : log.Take())
                if (e.id == um::UM_AMD_RESULT) verdicts.push_back(e.wParam);
        }
        return verdicts;
    }
};

TEST(AnsweringMachineDetectionShape, ThePhraseMatchNeverHoldsUpTheMainThread) {
    const PhraseSpotter::Match recording{0.0F, 1.0F};
    const PhraseSpotter::Match person{1.0F, 0.0F};
    // The main thread acts while the stream thread matches, at the pause
    // after a second of speech or when talk goes on past a person's
    // greeting. Each call goes through at once. A detection ended or started
    // anew takes nothing from the match; a window that closed during it is
    // closed by the stream thread, on the words the match found.
    enum class Meanwhile { Ask, Cancel, Restart, Close };
    struct Case {
        double talk;
        double again;  // talk after a second of silence
        Meanwhile meanwhile;
        PhraseSpotter::Match says;  // the first match; any later one finds a person's words
        int matches;
        std::vector<std::uintptr_t> verdicts;
    };
    const Case cases[] = {
        {1.0, 0, Meanwhile::Ask, recording, 1, {0}},
        {1.0, 0, Meanwhile::Cancel, recording, 1, {}},
        {6.0, 0, Meanwhile::Ask, recording, 1, {0}},
        {6.0, 0, Meanwhile::Cancel, recording, 1, {}},
        {6.0, 0, Meanwhile::Close, person, 1, {1}},        // still talking, in a person's words
        {6.0, 6.0, Meanwhile::Restart, recording, 3, {1}},  // the new one asks anew: at its hold, its pause
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.talk << " s, meanwhile " << static_cast<int>(c.meanwhile));
        MatchWatch w(c.talk, c.again > 0 ? 1.0 : 3.0, c.again);
        // Kept out here: if the lock were held, the call would finish only
        // once the step is over, and must not be waited for inside it.
        std::future<void> other;
        w.amd.SetPhraseMatch([&](const PhraseSpotter::Line& said) {
            if (++w.matches > 1) return person;
            EXPECT_GE(said.speechFrames, PhraseSpotter::kMinSpeechFrames);
            other = std::async(std::launch::async, [&] {
                switch (c.meanwhile) {
                    case Meanwhile::Ask: w.amd.generation(); break;
                    case Meanwhile::Cancel: w.amd.Cancel(); break;
                    case Meanwhile::Restart: w.amd.StartDetection(); break;
                    case Meanwhile::Close: w.amd.DetectionTimeout(); break;
                }
            });
            EXPECT_EQ(other.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "the lock was held";
            return c.says;
        });
        w.amd.StartDetection();
        EXPECT_EQ(w.Run(w.line.size() / 160), c.verdicts);
        EXPECT_EQ(w.matches, c.matches);
    }
    // A person's long greeting, talking as the window closes: the close
    // decides on the words as judged while it talked, and matches nothing.
    MatchWatch held(6.0);
    held.amd.SetPhraseMatch([&](const PhraseSpotter::Line&) {
        ++held.matches;
        return person;
    });
    held.amd.StartDetection();
    EXPECT_TRUE(held.Run(AmdClassifier::kWindowChunks).empty()) << "held by a person's words";
    const int before = held.matches;
    EXPECT_EQ(before, 1);
    held.amd.DetectionTimeout();
    held.loop.runPending();
    EXPECT_EQ(held.matches, before);
    const auto events = held.log.Take();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].wParam, 1u);
}

TEST(PhraseSpotter, TheBuiltTableHoldsEveryPhraseInEveryVoice) {
    const auto phrases = PhraseTemplates();
    const auto frames = PhraseTemplateFrames();
    ASSERT_FALSE(phrases.empty());
    int machine = 0;
    int end = 0;
    for (const PhraseTemplate& p : phrases) {
        EXPECT_EQ(p.offset, end) << "one after another";
        EXPECT_GE(p.frames, 5);
        end = p.offset + p.frames;
        machine += p.machine ? 1 : 0;
    }
    EXPECT_EQ(static_cast<std::size_t>(end) * kFeatureSize, frames.size());
    EXPECT_GT(machine, 0);
    EXPECT_LT(machine, static_cast<int>(phrases.size()));
    for (float v : frames) ASSERT_TRUE(std::isfinite(v));
}

}  // namespace
}  // namespace zorvan
