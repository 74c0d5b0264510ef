// The voice activity detector on synthetic and spoken audio, and the
// answering machine detection's decision sequences with a fake per-chunk
// decision.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "audio/amd/answering_machine_detector.h"
#include "audio/greeting/wav_file.h"
#include "audio/vad/vad.h"
#include "platform/um_events.h"
#include "platform/virtual_event_loop.h"
#include "support/audio_fixtures.h"
#include "support/fake_skype_transport.h"
#include "support/temp_dir.h"

namespace zorvan {
namespace {

using namespace audio;

struct Vad {
    VadState* state = nullptr;
    Vad() { EXPECT_EQ(vad_init(&state), 0); }
    ~Vad() { vad_exit(&state); }
    int Frame(const std::function<float(int)>& sample) {
        float frame[kVadFrameLength];
        for (int i = 0; i < kVadFrameLength; ++i) frame[i] = sample(i);
        return vad_process(state, frame);
    }
};

// The filter bank stage by stage over the whole frame, as plainly as it can
// be written: the detector's faster arrangement must give the same bits.
struct ReferenceBank {
    float m5[5][2] = {};
    float m3[6] = {};
    float lookahead[12] = {};
    static void F5(float& x, float& y, float* m) {
        const float a = x - 0.670013F * m[0];
        const float u = m[0] + 0.670013F * a;
        m[0] = a;
        const float b = y - 0.195007F * m[1];
        const float v = m[1] + 0.195007F * b;
        m[1] = b;
        x = (u + v) * 0.5F;
        y = (u - v) * 0.5F;
    }
    static void F3(float& x, float& y, float& m) {
        const float a = y - 0.407806F * m;
        const float u = m + 0.407806F * a;
        m = a;
        y = (x - u) * 0.5F;
        x = (x + u) * 0.5F;
    }
    void Levels(const float* frame, float* level) {
        float t[320];
        for (int i = 0; i < 320; ++i) t[i] = frame[i] * 0.5F;
        for (int k = 0; k < 320; k += 2) F5(t[k], t[k + 1], m5[0]);
        for (int k = 0; k < 320; k += 4) F5(t[k], t[k + 2], m5[1]), F5(t[k + 1], t[k + 3], m5[2]);
        for (int k = 0; k < 320; k += 8) {
            F5(t[k], t[k + 4], m5[3]), F5(t[k + 2], t[k + 6], m5[4]), F3(t[k + 3], t[k + 7], m3[0]);
        }
        for (int k = 0; k < 320; k += 16) {
            F3(t[k], t[k + 8], m3[1]), F3(t[k + 4], t[k + 12], m3[2]), F3(t[k + 6], t[k + 14], m3[3]);
        }
        for (int k = 0; k < 320; k += 32) F3(t[k], t[k + 16], m3[4]), F3(t[k + 8], t[k + 24], m3[5]);
        static const int table[12][4] = {{32, 0, 4, 10},  {32, 16, 4, 10}, {32, 24, 4, 10}, {32, 8, 4, 10},
                                         {16, 12, 8, 20}, {16, 4, 8, 20},  {16, 6, 8, 20},  {16, 14, 8, 20},
                                         {8, 2, 16, 40},  {8, 3, 16, 40},  {8, 7, 16, 40},  {4, 1, 32, 80}};
        static const float scale[12] = {2, 2, 2, 2, 1, 1, 1, 1, 0.5F, 0.5F, 0.5F, 0.25F};
        for (int b = 0; b < 12; ++b) {
            const auto [step, offset, c1, c2] = table[b];
            float a = 0;
            for (int i = c1; i < c2; ++i) a += std::fabs(t[step * i + offset]);
            const float a2 = 2 * a;
            float r = a2 + lookahead[b] / scale[b];
            lookahead[b] = a2 * scale[b];
            for (int i = 0; i < c1; ++i) r += 2 * std::fabs(t[step * i + offset]);
            level[b] = r * scale[b];
        }
    }
};

TEST(Vad, TheFilterBankGivesTheBitsOfThePlainStageByStageForm) {
    Vad vad;
    ReferenceBank reference;
    std::mt19937 random(11);
    std::normal_distribution<float> voice(0, 4000);
    float frame[kVadFrameLength];
    for (int n = 0; n < 200; ++n) {
        for (float& v : frame) v = voice(random) * static_cast<float>(n % 7) / 3.0F;
        vad_process(vad.state, frame);
        float level[kVadBands];
        reference.Levels(frame, level);
        for (int b = 0; b < kVadBands; ++b) ASSERT_EQ(vad.state->level[b], level[b]) << "frame " << n << " band " << b;
        ASSERT_EQ(std::memcmp(vad.state->filter5_memory, reference.m5, sizeof reference.m5), 0);
        ASSERT_EQ(std::memcmp(vad.state->filter3_memory, reference.m3, sizeof reference.m3), 0);
    }
}

TEST(Vad, SilenceIsNoSpeechFromTheFirstFrameOn) {
    Vad vad;
    for (int n = 0; n < 300; ++n) ASSERT_EQ(vad.Frame([](int) { return 0.0F; }), 0) << "frame " << n;
    for (const float noise : vad.state->noise_estimate) EXPECT_TRUE(std::isfinite(noise));
    EXPECT_TRUE(std::isfinite(vad.state->speech_level));
}

TEST(Vad, ALongToneBurstHangsOverAndAShortOneDoesNot) {
    std::mt19937 random(7);
    std::normal_distribution<float> hiss(0, 60);
    int phase = 0;
    const auto quiet = [&](int) { return hiss(random); };
    const auto tone = [&](int) { return 12000.0F * std::sin(2 * static_cast<float>(M_PI) * 700 * (phase++) / 32000.0F); };

    Vad vad;
    for (int n = 0; n < 80; ++n) vad.Frame(quiet);  // the noise estimate settles on the line
    for (int n = 0; n < 20; ++n) ASSERT_EQ(vad.Frame(quiet), 0) << "quiet line, frame " << n;
    EXPECT_EQ(vad.Frame(tone), 1) << "the first loud frame is speech";
    for (int n = 0; n < 30; ++n) EXPECT_EQ(vad.Frame(tone), 1);
    // The burst lasted the burst length: the hangover is armed (2..12 frames)
    // and the decisions stay speech while it runs down.
    const int hang = vad.state->hang_count;
    EXPECT_GE(hang, 2);
    EXPECT_LE(hang, 12);
    int after = 0;
    while (after < 200 && vad.Frame(quiet) == 1) ++after;
    EXPECT_GE(after, hang);
    EXPECT_LT(after, 200) << "back to no speech on the quiet line";

    // A single loud frame is shorter than the burst length: no hangover armed.
    Vad other;
    for (int n = 0; n < 100; ++n) other.Frame(quiet);
    EXPECT_EQ(other.Frame(tone), 1);
    EXPECT_EQ(other.state->hang_count, 0);
    EXPECT_EQ(other.state->burst_count, 1);
}

TEST(Vad, ResetRestoresEverythingButTheStationarityCounter) {
    Vad vad;
    EXPECT_EQ(vad.state->stationary_count, 0);
    int phase = 0;
    for (int n = 0; n < 40; ++n) vad.Frame([&](int) { return 9000.0F * std::sin(0.3F * static_cast<float>(phase++)); });
    vad.state->stationary_count = 7;
    ASSERT_EQ(vad_reset(vad.state), 0);
    EXPECT_EQ(vad.state->stationary_count, 7);
    for (int b = 0; b < kVadBands; ++b) {
        EXPECT_EQ(vad.state->noise_estimate[b], 150);
        EXPECT_EQ(vad.state->average_level[b], 150);
        EXPECT_EQ(vad.state->previous_level[b], 150);
        EXPECT_EQ(vad.state->lookahead_level[b], 0);
        EXPECT_EQ(vad.state->level[b], 0);
    }
    EXPECT_EQ(vad.state->filter5_memory[3][1], 0);
    EXPECT_EQ(vad.state->filter3_memory[5], 0);
    EXPECT_EQ(vad.state->decision_register, 0);
    EXPECT_EQ(vad.state->burst_count, 0);
    EXPECT_EQ(vad.state->hang_count, 0);
    EXPECT_EQ(vad.state->speech_level, 2050);
    EXPECT_EQ(vad.state->previous_power, 0);

    testing::internal::CaptureStderr();
    EXPECT_EQ(vad_init(nullptr), -1);
    EXPECT_EQ(vad_reset(nullptr), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "vad_init: invalid parameter\nvad_reset: invalid parameter\n");
}

TEST(Vad, SpokenWordsAreSpeechAndThePausesAroundThemAreNot) {
    test::TempDir dir;
    ASSERT_TRUE(test::Run("espeak-ng -v en-us -s 160 -w '" + (dir / "raw.wav") +
                          "' 'Hello, this is a test of the voice detector.' && sox -q '" + (dir / "raw.wav") +
                          "' -r 16000 -c 1 -b 16 '" + (dir / "speech.wav") + "' pad 1 2"));
    const auto samples = test::ReadWav(dir / "speech.wav");
    ASSERT_FALSE(samples.empty());
    ChunkVad vad(ChunkFrames::Upsampled);
    std::vector<int> decisions;
    for (std::size_t at = 0; at + 160 <= samples.size(); at += 160) decisions.push_back(vad.Decide(samples.data() + at));
    const std::size_t speechEnd = decisions.size() - 200;
    int leading = 0, spoken = 0, trailing = 0;
    for (std::size_t i = 0; i < 100; ++i) leading += decisions[i];
    for (std::size_t i = 100; i < speechEnd; ++i) spoken += decisions[i];
    for (std::size_t i = speechEnd + 30; i < decisions.size(); ++i) trailing += decisions[i];
    EXPECT_EQ(leading, 0) << "the second before the words";
    EXPECT_GT(spoken, static_cast<int>(speechEnd - 100) * 6 / 10) << "most of the words";
    EXPECT_EQ(trailing, 0) << "the silence after the words, past the hangover";
}

// The detection with one fake decision per chunk.
struct Detection {
    VirtualEventLoop loop;
    test::EventLog log;
    ScopedTarget target{loop, log};
    AnsweringMachineDetector amd;
    int threshold = 2;
    int next = 0;
    std::uint8_t chunk[320] = {};

    Detection() {
        amd.SetNotify(&loop, target.id());
        amd.SetThreshold([this] { return threshold; });
        amd.SetDecider([this](const std::int16_t*) { return next; });
    }
    // Feeds n chunks of one decision; returns the 1-based chunk after which
    // the first new message came, or 0.
    int Feed(int n, int decision) {
        next = decision;
        const std::size_t before = log.events.size();
        for (int i = 1; i <= n; ++i) {
            amd.Step(chunk);
            loop.runPending();
            if (log.events.size() > before) return i;
        }
        return 0;
    }
    std::vector<Event> Take() { return log.Take(); }
};

bool IsVerdict(const Event& e, std::uintptr_t person) { return e.id == um::UM_AMD_RESULT && e.wParam == person; }

TEST(AnsweringMachineDetection, APersonAnswersBrieflyAndWaits) {
    Detection d;
    d.amd.StartDetection();
    EXPECT_EQ(d.amd.state(), AmdDetecting);
    EXPECT_EQ(d.Feed(50, 1), 0);
    EXPECT_EQ(d.Feed(100, 0), 100) << "right after the hundredth silent chunk";
    auto events = d.Take();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(IsVerdict(events[0], 1));
    EXPECT_EQ(d.amd.state(), AmdIdle);
    d.amd.DetectionTimeout();
    d.loop.runPending();
    EXPECT_TRUE(d.Take().empty()) << "the timer finds the verdict given";

    // Only silence: 80 chunks of grace, then 100 counted: chunk 180.
    d.amd.StartDetection();
    EXPECT_EQ(d.Feed(300, 0), 180);
    EXPECT_TRUE(IsVerdict(d.Take().at(0), 1));
    d.amd.DetectionTimeout();

    // Speech and silence alternating after 20 speech chunks: every silent one counts.
    d.amd.StartDetection();
    EXPECT_EQ(d.Feed(20, 1), 0);
    int at = 0;
    for (int i = 0; i < 100 && at == 0; ++i) {
        if (d.Feed(1, 1) != 0) break;
        at = d.Feed(1, 0) != 0 ? i + 1 : 0;
    }
    EXPECT_EQ(at, 100) << "the verdict with the hundredth silent chunk";
    EXPECT_EQ(d.amd.graceChunks(), 0);
    d.amd.DetectionTimeout();
}

TEST(AnsweringMachineDetection, CancelEndsAWindowSilentlyAndVerdictsNameTheirWindow) {
    Detection d;
    const std::uint32_t first = d.amd.StartDetection();
    EXPECT_EQ(d.Feed(150, 0), 0) << "80 grace and 70 counted: no verdict yet";
    d.amd.Cancel();
    EXPECT_EQ(d.amd.state(), AmdIdle);
    EXPECT_EQ(d.Feed(300, 0), 0) << "cancelled: nothing more";
    d.loop.runPending();
    EXPECT_TRUE(d.Take().empty());

    // The next window starts from nothing: a full grace and 100 silent again.
    const std::uint32_t second = d.amd.StartDetection();
    EXPECT_NE(second, first);
    EXPECT_EQ(d.Feed(300, 0), 180);
    const auto events = d.Take();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(IsVerdict(events[0], 1));
    EXPECT_EQ(events[0].lParam, static_cast<std::intptr_t>(second)) << "the verdict names its window";

    // A wait for the machine's greeting is cancelled the same way.
    d.amd.AwaitGreetingEnd();
    EXPECT_EQ(d.Feed(100, 0), 0);
    d.amd.Cancel();
    EXPECT_EQ(d.Feed(300, 0), 0);
    d.loop.runPending();
    EXPECT_TRUE(d.Take().empty());
}

TEST(AnsweringMachineDetection, AMachineKeepsTalkingUntilTheTimerThenItsGreetingEnds) {
    Detection d;
    d.amd.StartDetection();
    EXPECT_EQ(d.Feed(300, 1), 0);
    d.amd.DetectionTimeout();
    d.loop.runPending();
    auto events = d.Take();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(IsVerdict(events[0], 0));
    EXPECT_EQ(d.amd.voicedChunks(), 0) << "counters reset";

    // Waiting for the greeting end (threshold 2): 150 silent, one speech,
    // then 200 silent: the cue with the last of the 200.
    d.amd.AwaitGreetingEnd();
    EXPECT_EQ(d.amd.state(), AmdAwaitGreetingEnd);
    EXPECT_EQ(d.Feed(150, 0), 0);
    EXPECT_EQ(d.Feed(1, 1), 0);
    EXPECT_EQ(d.Feed(199, 0), 0);
    EXPECT_EQ(d.Feed(1, 0), 1);
    events = d.Take();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].id, um::UM_GREETING_CUE);
    EXPECT_EQ(d.amd.state(), AmdIdle);

    // The timer ends a wait for the greeting end: idle, no cue.
    d.amd.AwaitGreetingEnd();
    EXPECT_EQ(d.Feed(100, 0), 0);
    d.amd.DetectionTimeout();
    EXPECT_EQ(d.amd.state(), AmdIdle);
    EXPECT_EQ(d.amd.closingSilence(), 0);
    d.loop.runPending();
    events = d.Take();  // the timer's rule: too little silence counted, a machine
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(IsVerdict(events[0], 0));
    EXPECT_EQ(d.Feed(300, 0), 0) << "no cue after the wait has ended";
}

TEST(AnsweringMachineDetection, ThresholdThreeNeedsTwoSecondsOfSilence) {
    Detection d;
    d.threshold = 3;
    EXPECT_EQ(AnsweringMachineDetector::WindowMs(3), 5000);
    EXPECT_EQ(AnsweringMachineDetector::WindowMs(2), 3000);
    d.amd.StartDetection();
    EXPECT_EQ(d.Feed(30, 1), 0);
    EXPECT_EQ(d.Feed(150, 0), 0);
    EXPECT_EQ(d.Feed(300, 1), 0);
    d.amd.DetectionTimeout();
    d.loop.runPending();
    EXPECT_TRUE(IsVerdict(d.Take().at(0), 0)) << "150 silent chunks are not the 200 needed";
    // The closing silence is three seconds.
    d.amd.AwaitGreetingEnd();
    EXPECT_EQ(d.Feed(400, 0), 300);
}

TEST(AnsweringMachineDetection, WithoutANotifyTargetNothingIsPostedButTheTimerStillResets) {
    Detection d;
    d.amd.SetNotify(&d.loop, kNoTarget);
    d.amd.StartDetection();
    EXPECT_EQ(d.Feed(400, 0), 0);
    EXPECT_EQ(d.amd.state(), AmdDetecting) << "the state stays without a verdict";
    EXPECT_EQ(d.amd.silentChunks(), 320);
    d.amd.DetectionTimeout();
    EXPECT_EQ(d.amd.state(), AmdIdle);
    EXPECT_EQ(d.amd.silentChunks(), 0);
    EXPECT_EQ(d.amd.graceChunks(), 0);
    // Idle: chunks are not looked at.
    d.amd.SetNotify(&d.loop, d.target.id());
    EXPECT_EQ(d.Feed(500, 0), 0);
    EXPECT_EQ(d.amd.silentChunks(), 0);
}

}  // namespace
}  // namespace zorvan
