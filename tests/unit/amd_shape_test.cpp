// The second detection mode: the beep detector on tones, speech and noise;
// the classifier on fixed sequences of chunk decisions; and the detector's
// message cue after a beep, in virtual time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "audio/amd/amd_classifier.h"
#include "audio/amd/answering_machine_detector.h"
#include "audio/amd/tone_detector.h"
#include "platform/um_events.h"
#include "platform/virtual_event_loop.h"
#include "support/audio_fixtures.h"
#include "support/fake_skype_transport.h"
#include "support/temp_dir.h"

namespace zorvan {
namespace {

using namespace audio;
using Verdict = AmdClassifier::Verdict;
using ToneEvent = ToneDetector::Event;

constexpr int kRate = 16000;

// Audio assembled in 16 kHz pieces, with line noise under all of it.
struct Line {
    std::vector<std::int16_t> samples;
    std::mt19937 random{7};
    double noise = 60;  // about -55 dBFS of white noise

    Line& Silence(double seconds) { return Tone(seconds, 0, 0); }
    Line& Tone(double seconds, double hz, double amplitude) {
        std::normal_distribution<double> n(0, 1);
        const auto count = static_cast<std::size_t>(seconds * kRate);
        for (std::size_t i = 0; i < count; ++i) {
            const double t = static_cast<double>(i) / kRate;
            const double v = amplitude * std::sin(2 * std::numbers::pi * hz * t) + noise * n(random);
            samples.push_back(static_cast<std::int16_t>(std::clamp(v, -32768.0, 32767.0)));
        }
        return *this;
    }
    Line& Append(const std::vector<std::int16_t>& more) {
        samples.insert(samples.end(), more.begin(), more.end());
        return *this;
    }
    std::size_t chunks() const { return samples.size() / 160; }
    const std::int16_t* chunk(std::size_t i) const { return samples.data() + i * 160; }
};

struct ToneRun {
    int heardAt = -1;  // chunk of the first ToneHeard
    int tonesHeard = 0;
    std::vector<int> beepEnds;  // chunks of each BeepEnded
    int lastBeepChunks = 0;
};

ToneRun RunTones(const Line& line) {
    ToneDetector detector;
    ToneRun run;
    for (std::size_t i = 0; i < line.chunks(); ++i) {
        const ToneEvent e = detector.Step(line.chunk(i));
        if (e == ToneEvent::ToneHeard) {
            if (run.heardAt < 0) run.heardAt = static_cast<int>(i);
            ++run.tonesHeard;
        } else if (e == ToneEvent::BeepEnded) {
            run.beepEnds.push_back(static_cast<int>(i));
            run.lastBeepChunks = detector.lastBeepChunks();
        }
    }
    return run;
}

TEST(ToneDetector, FindsBeepsAcrossTheBandAndTellsWhenTheyEnd) {
    // Frequencies on and between the filters, short and long beeps, loud and quiet.
    const double cases[][3] = {{400, 0.2, 8000},  {437.3, 0.5, 3000}, {1000, 1.0, 12000},
                               {1394, 0.3, 1500}, {1777, 1.9, 6000},  {2000, 0.25, 8000}};
    for (const auto& [hz, seconds, amplitude] : cases) {
        SCOPED_TRACE(testing::Message() << hz << " Hz for " << seconds << " s");
        Line line;
        line.Silence(1.0).Tone(seconds, hz, amplitude).Silence(1.0);
        const ToneRun run = RunTones(line);
        const int endChunk = static_cast<int>((1.0 + seconds) * 100);
        ASSERT_EQ(run.beepEnds.size(), 1u);
        EXPECT_GE(run.beepEnds[0], endChunk) << "never before the beep has ended";
        EXPECT_LE(run.beepEnds[0], endChunk + 6) << "within 60 ms of its end";
        EXPECT_NEAR(run.lastBeepChunks, seconds * 100, 4);
        EXPECT_EQ(run.tonesHeard, 1);
        EXPECT_LE(run.heardAt, 100 + ToneDetector::kConfirmChunks + 3);
    }
}

TEST(ToneDetector, IgnoresWhatIsNoBeep) {
    // Too short, outside the band, a steady tone that goes on, and the
    // network's three-tone signal: the last two are tones but no beep.
    Line blip;
    blip.Silence(0.5).Tone(0.1, 1000, 8000).Silence(1);
    EXPECT_EQ(RunTones(blip).tonesHeard, 0);
    Line low;
    low.Silence(0.5).Tone(1.0, 300, 8000).Tone(1.0, 2400, 8000).Silence(1);
    EXPECT_EQ(RunTones(low).tonesHeard, 0);
    Line steady;
    steady.Silence(0.5).Tone(3.0, 950, 8000).Silence(1);
    const ToneRun steadyRun = RunTones(steady);
    EXPECT_EQ(steadyRun.tonesHeard, 1);
    EXPECT_TRUE(steadyRun.beepEnds.empty()) << "three seconds of tone is no beep";
    Line sit;
    sit.Silence(0.5).Tone(0.274, 913.8, 8000).Tone(0.274, 1370.6, 8000).Tone(0.38, 1776.7, 8000).Silence(0.05);
    sit.Tone(1.0, 200, 0).Silence(1);
    const ToneRun sitRun = RunTones(sit);
    EXPECT_GE(sitRun.tonesHeard, 1) << "heard as a recording";
    EXPECT_TRUE(sitRun.beepEnds.empty()) << "but no beep";

    // Loud noise, white and in bursts.
    Line noise;
    noise.noise = 4000;
    noise.Silence(3.0);
    noise.noise = 60;
    for (int i = 0; i < 10; ++i) noise.Silence(0.2).Tone(0.0, 0, 0);
    EXPECT_EQ(RunTones(noise).tonesHeard, 0);

    // Speech: voices from espeak-ng, low and high, slow and fast, through
    // the telephone band and G.711 as a call brings them.
    test::TempDir dir;
    const std::string voices[] = {"en-us+m7", "en-gb+f3", "en-us"};
    for (const std::string& voice : voices) {
        SCOPED_TRACE(voice);
        const std::string wav = dir / "speech.wav";
        ASSERT_TRUE(test::Run("espeak-ng -v " + voice + " -s 140 -w '" + (dir / "raw.wav") +
                              "' 'Hello, you have reached Jordan. Sorry, I can not take your call right now. "
                              "Please leave your name and your number, and I will call you back soon. Thank you.' "
                              "&& sox -q '" + (dir / "raw.wav") + "' -r 8000 -e u-law '" + (dir / "line.wav") +
                              "' sinc 300-3400 && sox -q '" + (dir / "line.wav") + "' -r 16000 -e signed -b 16 '" +
                              wav + "'"));
        Line speech;
        speech.Append(test::ReadWav(wav));
        ASSERT_GT(speech.chunks(), 500u);
        EXPECT_EQ(RunTones(speech).tonesHeard, 0);
        // The same speech with a beep after it: the beep, once.
        speech.Silence(0.3).Tone(0.6, 1000, 6000).Silence(0.5);
        EXPECT_EQ(RunTones(speech).beepEnds.size(), 1u);
    }
}

// A classifier fed runs of chunks: speech (S) or silence (-), n of each.
struct Sequence {
    AmdClassifier classifier;
    Verdict verdict = Verdict::None;
    int at = -1;  // the chunk of the first verdict
    Sequence& Run(bool speech, int n, bool tone = false) {
        for (int i = 0; i < n; ++i) {
            const Verdict v = classifier.Feed(speech, tone && i == n - 1);
            if (v != Verdict::None && verdict == Verdict::None) {
                verdict = v;
                at = classifier.chunks();
            }
        }
        return *this;
    }
    Sequence& S(int n) { return Run(true, n); }
    Sequence& Q(int n) { return Run(false, n); }
};

TEST(AmdClassifier, APersonIsHeardWaitingAfterWhatTheySaid) {
    // "Hello?" after a moment: the person verdict after 0.75 s of silence.
    Sequence hello;
    hello.Q(40).S(50).Q(200);
    EXPECT_EQ(hello.verdict, Verdict::Person);
    EXPECT_EQ(hello.at, 40 + 50 + AmdClassifier::kQuickSilence);

    // "Hello? ... Hello?": already a person in the pause.
    Sequence twice;
    twice.Q(30).S(45).Q(120).S(45).Q(200);
    EXPECT_EQ(twice.verdict, Verdict::Person);
    EXPECT_EQ(twice.at, 30 + 45 + AmdClassifier::kQuickSilence);

    // "Hello? Hello? Hello?" in one breath: three short words, the quick wait.
    Sequence triple;
    triple.Q(30).S(50).Q(25).S(50).Q(25).S(55).Q(200);
    EXPECT_EQ(triple.verdict, Verdict::Person);
    EXPECT_EQ(triple.at, 30 + 205 + AmdClassifier::kQuickSilence);

    // The same three words, told apart by what they sound like: calls that
    // repeat are a person at the quick wait; a greeting's first phrase in
    // pieces ("Hi, you've reached Sarah.") waits as long as after a
    // sentence. The words are asked about once, as they were said.
    for (const bool alike : {true, false}) {
        Sequence words;
        std::vector<std::vector<AmdClassifier::Word>> asked;
        words.classifier.SetCallsCheck([&](const std::vector<AmdClassifier::Word>& w) {
            asked.push_back(w);
            return alike;
        });
        words.Q(30).S(50).Q(25).S(50).Q(25).S(55).Q(300);
        EXPECT_EQ(words.verdict, Verdict::Person);
        EXPECT_EQ(words.at, 30 + 205 + (alike ? AmdClassifier::kQuickSilence : AmdClassifier::kPauseSilence));
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0], (std::vector<AmdClassifier::Word>{{30, 79}, {105, 154}, {180, 234}}));
        words.classifier.Reset();
        EXPECT_TRUE(words.classifier.words().empty());
        words.verdict = Verdict::None;
        words.Q(10).S(50).Q(20).S(50).Q(20).S(50).Q(100);
        EXPECT_EQ(asked.size(), 2u) << "the check outlives a reset";
    }

    // "City Cabs, how can I help?": the longer wait, as a greeting's pause
    // could follow such a sentence.
    Sequence shortGreeting;
    shortGreeting.Q(40).S(60).Q(16).S(70).Q(300);
    EXPECT_EQ(shortGreeting.verdict, Verdict::Person);
    EXPECT_EQ(shortGreeting.at, 40 + 146 + AmdClassifier::kPauseSilence);

    // A name alone ("Hi, it's Paula.") runs longer than "Hello?": a
    // greeting's first sentence may be all it is, so it waits longer too.
    Sequence name;
    name.Q(40).S(70).Q(300);
    EXPECT_EQ(name.verdict, Verdict::Person);
    EXPECT_EQ(name.at, 40 + 70 + AmdClassifier::kPauseSilence);

    // A long business greeting: the window closes on its silence.
    Sequence business;
    business.Q(40).S(120).Q(10).S(150).Q(12).S(130).Q(138);
    EXPECT_EQ(business.verdict, Verdict::None);
    EXPECT_EQ(business.classifier.chunks(), AmdClassifier::kWindowChunks);
    EXPECT_EQ(business.classifier.Timeout(), Verdict::Person);

    // A silent pick-up of two seconds, then "Hello?".
    Sequence silent;
    silent.Q(200).S(40).Q(200);
    EXPECT_EQ(silent.verdict, Verdict::Person);
    EXPECT_EQ(silent.at, 240 + AmdClassifier::kQuickSilence);
}

TEST(AmdClassifier, AMachineTalksOnPausesWithinAGreetingOrBeeps) {
    // A sentence and a pause of 2 s: the pause is no person's waiting; the
    // text goes on for 2 s after it: a recording.
    Sequence pause;
    pause.Q(30).S(90).Q(100).S(150);
    EXPECT_EQ(pause.verdict, Verdict::None) << "undecided while it might be a person calling again";
    pause.S(60);
    EXPECT_EQ(pause.verdict, Verdict::Machine);
    EXPECT_EQ(pause.at, 220 + AmdClassifier::kResumedTalk);
    // A person who calls again after a pause says something short.
    Sequence again;
    again.Q(30).S(130).Q(150).S(120).Q(300);
    EXPECT_EQ(again.verdict, Verdict::Person);
    EXPECT_EQ(again.at, 430 + AmdClassifier::kPauseSilence);

    // Talking on past any person's greeting.
    Sequence talk;
    talk.Q(20).S(200).Q(30).S(300);
    EXPECT_EQ(talk.verdict, Verdict::Machine);
    EXPECT_EQ(talk.at, 20 + AmdClassifier::kTalkingOn);

    // A beep (or any tone) at once, whatever came before.
    Sequence beep;
    beep.Q(20).S(60).Q(30).Run(true, 15, true);
    EXPECT_EQ(beep.verdict, Verdict::Machine);
    EXPECT_EQ(beep.at, 125);

    // Speech that only starts late and goes on; after a silent pick-up a
    // person says a word.
    Sequence late;
    late.Q(150).S(100).Q(20).S(200);
    EXPECT_EQ(late.verdict, Verdict::Machine);
    EXPECT_EQ(late.at, 150 + AmdClassifier::kLateTalk);
    Sequence silentPickUp;
    silentPickUp.Q(150).S(110).Q(210);
    EXPECT_EQ(silentPickUp.verdict, Verdict::Person);
}

TEST(AmdClassifier, TheWindowClosesOnWhatWasHeard) {
    Sequence quiet;
    quiet.Q(600);
    EXPECT_EQ(quiet.classifier.Timeout(), Verdict::Person) << "said nothing: someone listening";
    Sequence waited;
    waited.Q(50).S(200).Q(40).S(200).Q(60);
    EXPECT_EQ(waited.verdict, Verdict::None);
    EXPECT_EQ(waited.classifier.Timeout(), Verdict::Person) << "a long greeting, then half a second of waiting";
    Sequence talking;
    talking.Q(50).S(400).Q(20);
    EXPECT_EQ(talking.classifier.Timeout(), Verdict::Machine);
    Sequence stillTalking;
    stillTalking.Q(50).S(100).Q(40).S(150).Q(30).S(120);
    EXPECT_EQ(stillTalking.verdict, Verdict::None);
    EXPECT_EQ(stillTalking.classifier.Timeout(), Verdict::Machine) << "still talking as the window closes";
}

TEST(LineLevel, FollowsTheNoiseFloorAndKeepsTheFirstNoiseOut) {
    LineLevel level;
    EXPECT_FALSE(level.Loud(1.0e4F)) << "the first chunk sets the floor";
    EXPECT_FALSE(level.Loud(3.0e4F)) << "5 dB above: noise";
    EXPECT_TRUE(level.Loud(1.0e5F)) << "10 dB above: loud enough to be speech";
    EXPECT_FALSE(level.Loud(5.0e3F));
    EXPECT_FLOAT_EQ(level.floor(), 5.0e3F) << "drops at once";
    for (int i = 0; i < 1000; ++i) level.Loud(1.0e6F);
    EXPECT_NEAR(10 * std::log10(level.floor() / 5.0e3F), 10.0, 0.3) << "rises 1 dB a second";
    level.Reset();
    EXPECT_FALSE(level.Loud(0)) << "digital silence";
    EXPECT_TRUE(level.Loud(10 * LineLevel::kLowestFloor));
}

// The detector in the second mode, its decisions faked, the audio real (the
// beep is found in the samples).
struct ShapeDetection {
    VirtualEventLoop loop;
    test::EventLog log;
    ScopedTarget target{loop, log};
    AnsweringMachineDetector amd;
    int mode = kAmdModeShape;
    int decision = 0;
    Line line;
    std::size_t at = 0;

    ShapeDetection() {
        amd.SetNotify(&loop, target.id());
        amd.SetThreshold([] { return 2; });
        amd.SetMode([this] { return mode; });
        amd.SetDecider([this](const std::int16_t*) { return decision; });
    }
    // Steps through the next n chunks of the line; the 1-based chunk of the
    // first message, or 0.
    int Step(std::size_t n) {
        const std::size_t before = log.events.size();
        int first = 0;
        for (std::size_t i = 1; i <= n; ++i, ++at) {
            amd.Step(reinterpret_cast<const std::uint8_t*>(line.chunk(at)));
            loop.runPending();
            if (first == 0 && log.events.size() > before) first = static_cast<int>(i);
        }
        return first;
    }
};

TEST(AnsweringMachineDetectionShape, TheMessageStartsAsTheBeepEnds) {
    ShapeDetection d;
    // A greeting (faked as speech over a loud line) that outlasts the window,
    // then a beep of 0.6 s and silence.
    d.line.Silence(0.2);
    d.line.noise = 2000;
    d.line.Silence(6.8);
    d.line.noise = 60;
    d.line.Tone(0.6, 1200, 6000).Silence(5.0);
    EXPECT_EQ(DetectionWindowMs(2, kAmdModeShape), 6000);
    d.amd.StartDetection();
    EXPECT_EQ(d.amd.mode(), kAmdModeShape);
    d.decision = 1;
    EXPECT_EQ(d.Step(580), 20 + AmdClassifier::kTalkingOn) << "talking on: a machine";
    auto events = d.log.Take();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].id, um::UM_AMD_RESULT);
    EXPECT_EQ(events[0].wParam, 0u);
    d.amd.AwaitGreetingEnd();
    d.amd.DetectionTimeout();  // the timer, later: changes nothing
    EXPECT_EQ(d.amd.state(), AmdAwaitGreetingEnd);
    EXPECT_EQ(d.Step(120), 0);
    // The beep: the detector hears it as speech; the cue follows its end.
    const int cue = d.Step(300);
    events = d.log.Take();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].id, um::UM_GREETING_CUE);
    EXPECT_GE(cue, 60) << "not before the beep has ended";
    EXPECT_LE(cue, 60 + 6) << "within 60 ms of its end";
    EXPECT_EQ(d.amd.state(), AmdIdle);
}

TEST(AnsweringMachineDetectionShape, ABeepBeforeTheWaitBeginsIsNotMissed) {
    // "Kim here. Leave it after the beep." and the beep, inside the window:
    // the tone gives the verdict, and the wait begins only when the main
    // thread gets to it.
    for (const int delay : {0, 20, 100}) {
        SCOPED_TRACE(delay);
        ShapeDetection d;
        d.line.Silence(0.4);
        d.line.noise = 2000;
        d.line.Silence(1.6);
        d.line.noise = 60;
        d.line.Silence(0.3).Tone(0.5, 800, 6000).Silence(4.0);
        d.amd.StartDetection();
        d.decision = 0;
        EXPECT_EQ(d.Step(40), 0);
        d.decision = 1;
        EXPECT_EQ(d.Step(160), 0);
        d.decision = 0;
        EXPECT_EQ(d.Step(30), 0);
        const int heard = d.Step(30);
        EXPECT_GE(heard, ToneDetector::kConfirmChunks) << "the tone, confirmed: a machine";
        EXPECT_LE(heard, ToneDetector::kConfirmChunks + 4);
        ASSERT_EQ(d.log.Take().at(0).wParam, 0u);
        d.Step(20 + 10 + static_cast<std::size_t>(delay));  // the beep ends at chunk 280
        d.amd.AwaitGreetingEnd();
        d.loop.runPending();
        const auto events = d.log.Take();
        if (delay <= AnsweringMachineDetector::kRecentBeepChunks) {
            ASSERT_EQ(events.size(), 1u) << "the beep has just ended: record now";
            EXPECT_EQ(events[0].id, um::UM_GREETING_CUE);
            EXPECT_EQ(d.amd.state(), AmdIdle);
        } else {
            EXPECT_TRUE(events.empty()) << "too long ago: the silence decides";
            // Two seconds of silence at threshold 2, counted from the last
            // speech (chunk 200); the wait began at chunk 390.
            EXPECT_EQ(d.Step(400), 200 - (390 - 200));
        }
    }
}

TEST(AnsweringMachineDetectionShape, TheSilenceHeardBeforeTheWaitBeginsCounts) {
    // A greeting (faked as speech over a loud line) that talks on, taken
    // for a machine after 4.5 s, then a quiet line.
    const auto talkingOn = [](ShapeDetection& d) {
        d.line.Silence(0.2);
        d.line.noise = 2000;
        d.line.Silence(6.0);
        d.line.noise = 60;
        d.line.Silence(8.0);
        d.amd.StartDetection();
        d.decision = 1;
        EXPECT_EQ(d.Step(480), 20 + AmdClassifier::kTalkingOn);
        ASSERT_EQ(d.log.Take().at(0).wParam, 0u);
    };
    // A verdict that comes in a pause, or reaches the main thread late, does
    // not put the message off: two seconds after the greeting's last words.
    for (const int quiet : {50, 150, 250}) {
        SCOPED_TRACE(quiet);
        ShapeDetection d;
        talkingOn(d);
        d.decision = 0;
        d.Step(static_cast<std::size_t>(quiet));
        d.amd.AwaitGreetingEnd();
        d.loop.runPending();
        const auto cue = [&d] {
            const auto events = d.log.Take();
            return events.size() == 1 && events[0].id == um::UM_GREETING_CUE;
        };
        if (quiet >= AnsweringMachineDetector::ClosingSilence(2)) {
            EXPECT_TRUE(cue()) << "silent long enough already: record now";
            continue;
        }
        EXPECT_FALSE(cue());
        EXPECT_EQ(d.amd.closingSilence(), quiet);
        EXPECT_EQ(d.Step(300), 200 - quiet);
        EXPECT_TRUE(cue());
    }
    // Talk after the verdict starts the count again.
    ShapeDetection d;
    talkingOn(d);
    d.decision = 0;
    d.Step(100);
    d.decision = 1;
    d.Step(10);
    d.decision = 0;
    d.Step(30);
    d.amd.AwaitGreetingEnd();
    EXPECT_EQ(d.amd.closingSilence(), 30);
    EXPECT_EQ(d.Step(300), 170);
}

TEST(AnsweringMachineDetectionShape, WithoutABeepTheSilenceDecidesAndTheSilenceCountHearsTheBeepToo) {
    ShapeDetection d;
    d.line.Silence(0.2);
    d.line.noise = 2000;
    d.line.Silence(6.0);
    d.line.noise = 60;
    d.line.Silence(6.0);
    d.amd.StartDetection();
    d.decision = 1;
    EXPECT_EQ(d.Step(580), 20 + AmdClassifier::kTalkingOn);
    d.log.Take();
    d.amd.AwaitGreetingEnd();
    EXPECT_EQ(d.Step(100), 0);
    d.decision = 0;
    EXPECT_EQ(d.Step(300), 200);
    EXPECT_EQ(d.log.Take().at(0).id, um::UM_GREETING_CUE);

    // The silence count decides as it always has: a tone in the window is
    // no verdict there (the detector says silence: a person at 1.8 s) ...
    ShapeDetection zero;
    zero.mode = kAmdModeSilence;
    zero.line.Silence(1.0).Tone(0.5, 1000, 8000).Silence(1.5);
    zero.line.Silence(3.5).Tone(0.5, 1000, 8000).Silence(3.0);
    EXPECT_EQ(DetectionWindowMs(2, kAmdModeSilence), 3000);
    EXPECT_EQ(DetectionWindowMs(3, 5), 5000) << "an unknown mode is the silence count";
    zero.amd.StartDetection();
    EXPECT_EQ(zero.amd.mode(), kAmdModeSilence);
    EXPECT_EQ(zero.Step(300), 180);
    EXPECT_EQ(zero.log.Take().at(0).wParam, 1u);
    zero.amd.DetectionTimeout();
    // ... but while it waits for a machine's greeting to end, the beep ends
    // the wait there too.
    zero.amd.StartDetection();
    zero.decision = 1;
    EXPECT_EQ(zero.Step(300), 0);
    zero.amd.DetectionTimeout();
    zero.loop.runPending();
    EXPECT_EQ(zero.log.Take().at(0).wParam, 0u);
    zero.amd.AwaitGreetingEnd();
    EXPECT_EQ(zero.Step(50), 0);
    const int cue = zero.Step(100);
    EXPECT_GE(cue, 50) << "the beep runs from chunk 650 to 700";
    EXPECT_LE(cue, 56);
    EXPECT_EQ(zero.log.Take().at(0).id, um::UM_GREETING_CUE);
}

}  // namespace
}  // namespace zorvan
