// Greeting playback in virtual time, into a sink that keeps every send.
#include <gtest/gtest.h>

#include <mutex>

#include "audio/greeting/greeting_player.h"
#include "audio/greeting/mp3_check.h"
#include "audio/greeting/pcm_ring_buffer.h"
#include "audio/input_port_sink.h"
#include "platform/um_events.h"
#include "platform/virtual_event_loop.h"
#include "support/audio_fixtures.h"
#include "support/fake_skype_transport.h"
#include "support/temp_dir.h"

namespace zorvan {
namespace {

using audio::GreetingPlayer;

struct Send {
    std::string bytes;
    std::int64_t at;
};

struct FakeSink final : audio::InputPortSink {
    explicit FakeSink(EventLoop& loop) : loop(loop) {}
    EventLoop& loop;
    std::mutex mutex;
    std::vector<Send> sends;
    bool SendToInputPort(const std::uint8_t* data, std::size_t length) override {
        std::lock_guard lock(mutex);
        sends.push_back({std::string(reinterpret_cast<const char*>(data), length), loop.now()});
        return true;
    }
    std::string All() {
        std::string out;
        for (const Send& s : sends) out += s.bytes;
        return out;
    }
};

struct Playback {
    test::TempDir dir;
    VirtualEventLoop loop;
    FakeSink sink{loop};
    test::FakePrompts prompts;
    test::EventLog log;
    ScopedTarget target{loop, log};
    GreetingPlayer player{loop, sink, prompts, target.id()};

    // Lets the playback thread run until it waits, then delivers its posts.
    void Run(std::int64_t ms = 0) {
        loop.settle();
        loop.advance(ms);
        loop.settle();
        loop.runPending();
    }
    std::vector<std::uintptr_t> Progress() const {
        std::vector<std::uintptr_t> out;
        for (const Event& e : log.events) {
            if (e.id == um::UM_GREETING_PROGRESS) out.push_back(e.wParam);
        }
        return out;
    }
    int Finished() const {
        int n = 0;
        for (const Event& e : log.events) n += e.id == um::UM_GREETING_FINISHED;
        return n;
    }
};

TEST(GreetingPlayer, A16kMonoWavGoesOutUnchangedIn320ByteSendsWithItsProgress) {
    Playback p;
    // 100 whole chunks and a short one: the short read counts as a whole chunk.
    std::vector<std::int16_t> voice = test::Tone(16000, 1, 1.0);
    voice.resize(voice.size() + 50, 123);
    test::WriteWav(p.dir / "hello.wav", voice, 16000, 1, "LIST\4\0\0\0junk");
    ASSERT_TRUE(p.player.Play(p.dir / "hello.wav"));
    p.Run();
    ASSERT_EQ(p.sink.sends.size(), 101u);
    for (std::size_t i = 0; i < 100; ++i) EXPECT_EQ(p.sink.sends[i].bytes.size(), 320u);
    EXPECT_EQ(p.sink.sends.back().bytes.size(), 100u);
    EXPECT_EQ(p.sink.All(), test::Bytes(voice)) << "the data chunk exactly, and nothing after it";
    EXPECT_TRUE(p.player.busy());
    EXPECT_FALSE(p.player.isMp3());

    const auto progress = p.Progress();
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), 1u) << "0 % is never posted";
    for (std::size_t i = 1; i < progress.size(); ++i) EXPECT_GT(progress[i], progress[i - 1]);
    EXPECT_GE(progress.back(), 100u);

    // The end comes 500 ms after the last send, not a moment before.
    p.Run(499);
    EXPECT_EQ(p.Finished(), 0);
    p.Run(1);
    EXPECT_EQ(p.Finished(), 1);
    EXPECT_TRUE(p.player.busy()) << "busy stays set after a playback that ended by itself";
    EXPECT_TRUE(p.player.Stop());
    EXPECT_FALSE(p.player.busy());
}

TEST(GreetingPlayer, AWavIsPacedIn102ChunkBurstsEvery994Ms) {
    Playback p;
    test::WriteWav(p.dir / "long.wav", test::Tone(16000, 1, 3.0), 16000, 1);
    ASSERT_TRUE(p.player.Play(p.dir / "long.wav"));
    p.Run();
    EXPECT_EQ(p.sink.sends.size(), 102u);
    p.Run(993);
    EXPECT_EQ(p.sink.sends.size(), 102u);
    p.Run(1);
    EXPECT_EQ(p.sink.sends.size(), 204u);
    p.Run(994);
    EXPECT_EQ(p.sink.sends.size(), 300u);
    p.Run(500);
    EXPECT_EQ(p.Finished(), 1);
}

TEST(GreetingPlayer, StopCutsThePacingPauseShortAndPostsNothing) {
    Playback p;
    test::WriteWav(p.dir / "long.wav", test::Tone(16000, 1, 3.0), 16000, 1);
    ASSERT_TRUE(p.player.Play(p.dir / "long.wav"));
    p.Run(300);
    ASSERT_EQ(p.sink.sends.size(), 102u);
    // Stop from the UI thread returns without waiting for virtual time.
    EXPECT_TRUE(p.player.Stop());
    EXPECT_EQ(p.loop.now(), 300);
    EXPECT_FALSE(p.player.busy());
    p.Run(3000);
    EXPECT_EQ(p.sink.sends.size(), 102u) << "nothing more after the stop";
    EXPECT_EQ(p.Finished(), 0);
}

TEST(GreetingPlayer, StopRightAfterPlayStopsBeforeAnythingIsSent) {
    Playback p;
    test::WriteWav(p.dir / "long.wav", test::Tone(16000, 1, 3.0), 16000, 1);
    for (int round = 0; round < 20; ++round) {
        p.sink.sends.clear();
        ASSERT_TRUE(p.player.Play(p.dir / "long.wav"));
        EXPECT_TRUE(p.player.busy()) << "busy from Play on";
        EXPECT_TRUE(p.player.Stop());
        const std::size_t atStop = p.sink.sends.size();
        EXPECT_LE(atStop, 102u) << "at most the first burst went out";
        p.Run(3000);
        EXPECT_EQ(p.sink.sends.size(), atStop) << "nothing after the stop";
    }
    EXPECT_EQ(p.Finished(), 0);
}

TEST(GreetingPlayer, FilesThatAreNotGreetingsAreRefusedWithAMessageAndTheEnd) {
    Playback p;
    test::WriteFile(p.dir / "notes.txt", "just some text, not audio at all");
    ASSERT_TRUE(p.player.Play(p.dir / "notes.txt"));
    p.Run();
    EXPECT_EQ(p.Finished(), 1);
    EXPECT_FALSE(p.player.busy());
    ASSERT_TRUE(p.player.Play(p.dir / "missing.wav"));
    p.Run();
    EXPECT_EQ(p.Finished(), 2);
    EXPECT_FALSE(p.player.Play(""));
    EXPECT_TRUE(p.sink.sends.empty());
    ASSERT_EQ(p.prompts.asked.size(), 2u);
    EXPECT_EQ(p.prompts.asked[0].caption, "Zorvan Dialer");
    EXPECT_NE(p.prompts.asked[0].text.find("notes.txt' cannot be played"), std::string::npos);
    EXPECT_NE(p.prompts.asked[0].text.find("not a WAV file"), std::string::npos);
    EXPECT_NE(p.prompts.asked[1].text.find("No such file or directory"), std::string::npos);
}

// Plays a file to its end and returns what went out as samples.
std::vector<std::int16_t> PlayAll(Playback& p, const std::string& path) {
    p.sink.sends.clear();
    EXPECT_TRUE(p.player.Play(path));
    for (int i = 0; i < 10 && p.Finished() == 0; ++i) p.Run(1000);
    p.player.Stop();
    p.log.events.clear();
    return test::Samples(p.sink.All());
}

// Every PCM layout a user's tools write: sox makes each tone (left 440 Hz,
// right 1320 Hz) and, independently, the 16 kHz mono reference of its left
// channel; what the player sends must be that reference.
TEST(GreetingPlayer, EveryCommonWavFormatIsHeardAsItsLeftChannelAt16k) {
    Playback p;
    struct Encoding {
        const char* name;
        const char* soxOptions;
    };
    const Encoding encodings[] = {{"u8", "-e unsigned-integer -b 8"}, {"s16", "-e signed-integer -b 16"},
                                  {"s24", "-e signed-integer -b 24"},  {"s32", "-e signed-integer -b 32"},
                                  {"f32", "-e floating-point -b 32"},  {"alaw", "-e a-law -b 8"},
                                  {"ulaw", "-e u-law -b 8"}};
    for (const int rate : {8000, 11025, 16000, 22050, 44100, 48000}) {
        for (const int channels : {1, 2}) {
            for (const Encoding& e : encodings) {
                const std::string name = std::string(e.name) + "-" + std::to_string(rate) + "-" +
                                         std::to_string(channels);
                SCOPED_TRACE(name);
                const std::string file = p.dir / (name + ".wav");
                const std::string reference = p.dir / (name + "-ref.wav");
                ASSERT_TRUE(test::Run("sox -q -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) +
                                      " " + e.soxOptions + " '" + file + "' synth 1.2 sine 440 sine 1320 vol 0.5" +
                                      " && sox -q '" + file + "' -r 16000 -b 16 -e signed-integer '" + reference +
                                      "' remix 1"));
                const auto expected = test::ReadWav(reference);
                const auto heard = PlayAll(p, file);
                ASSERT_FALSE(expected.empty());
                EXPECT_NEAR(static_cast<double>(heard.size()), static_cast<double>(expected.size()), 400.0);
                EXPECT_GE(test::PeakCorrelation(expected, heard, 200), 0.95);
            }
        }
    }
    EXPECT_TRUE(p.prompts.asked.empty());
}

TEST(GreetingPlayer, WavFormatsItCannotPlayAreRefusedNeverPlayedAsNoise) {
    Playback p;
    const std::string tone = p.dir / "tone.wav";
    ASSERT_TRUE(test::Run("sox -q -n -r 8000 -c 1 -b 16 '" + tone + "' synth 1 sine 440"));
    struct Case {
        std::string name;
        std::string command;  // makes the file from tone.wav
        std::string reason;
    };
    const Case cases[] = {
        {"adpcm.wav", "sox -q '" + tone + "' -e ima-adpcm '" + p.dir / "adpcm.wav" + "'", "compressed"},
        {"three.wav", "sox -q -n -r 8000 -c 3 -b 16 '" + p.dir / "three.wav" + "' synth 1 sine 440", "3 channels"},
        // The format chunk cut off after its first eight bytes.
        {"short.wav",
         "printf 'RIFF\\044\\000\\000\\000WAVEfmt \\010\\000\\000\\000\\001\\000\\001\\000"
         "\\100\\037\\000\\000data\\000\\000\\000\\000' > '" + p.dir / "short.wav" + "'",
         "damaged"},
        {"nodata.wav", "head -c 36 '" + tone + "' > '" + p.dir / "nodata.wav" + "'", "no audio data"},
    };
    int ended = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(test::Run(c.command));
        ASSERT_TRUE(p.player.Play(p.dir / c.name));
        p.Run();
        EXPECT_EQ(p.Finished(), ++ended) << "the player's end message";
        EXPECT_FALSE(p.player.busy());
        EXPECT_EQ(GreetingPlayer::Refusal(p.dir / c.name).empty(), false);
        ASSERT_EQ(p.prompts.asked.size(), static_cast<std::size_t>(ended));
        EXPECT_NE(p.prompts.asked.back().text.find(c.reason), std::string::npos) << p.prompts.asked.back().text;
    }
    EXPECT_TRUE(p.sink.sends.empty());
    EXPECT_TRUE(GreetingPlayer::Refusal(tone).empty());
    EXPECT_EQ(GreetingPlayer::Refusal(""), "No greeting file is chosen.");
}

TEST(GreetingPlayer, AnExtensionInCapitalsIsStillMp3AndPlayStopsTheRunningPlayback) {
    Playback p;
    test::WriteWav(p.dir / "tone.wav", test::Tone(16000, 1, 3.0), 16000, 1);
    ASSERT_TRUE(test::MakeMp3(p.dir / "tone.wav", p.dir / "TONE.MP3", "-m m"));
    ASSERT_TRUE(p.player.Play(p.dir / "tone.wav"));
    p.Run();
    ASSERT_EQ(p.sink.sends.size(), 102u);
    // Play while busy stops the WAV first (in its pause) without a message.
    ASSERT_TRUE(p.player.Play(p.dir / "TONE.MP3"));
    p.Run();
    EXPECT_TRUE(p.player.isMp3());
    EXPECT_EQ(p.sink.sends.size(), 202u);
    EXPECT_EQ(p.Finished(), 0);
}

// Tags around an MP3 are not audio; a damaged one is reported and passed over.
TEST(Mp3Check, TagsAtBothEndsAreLeftOutAndTheFirstFrameIsFound) {
    test::TempDir dir;
    test::WriteWav(dir / "tone.wav", test::Tone(16000, 1, 2.0), 16000, 1);
    ASSERT_TRUE(test::MakeMp3(dir / "tone.wav", dir / "plain.mp3", "-m m -b 32 -t"));
    const std::string audio = test::ReadFile(dir / "plain.mp3");
    std::string id3v2 = std::string("ID3\x03\x00\x00", 6) + std::string("\x00\x00\x01\x00", 4) + std::string(128, '\0');
    std::string ape = "APETAGEX" + std::string("\xD0\x07\0\0", 4) + std::string("\x40\0\0\0", 4) +
                      std::string(4, '\0') + std::string(4, '\0') + std::string(8, '\0');
    ape = std::string(32, 'a') + ape;  // 32 bytes of items, then the footer (size counts both)
    const std::string lyrics = "LYRICSBEGIN" "INDsome words" "000024" "LYRICS200";
    const std::string id3v1 = "TAG" + std::string(125, ' ');
    test::WriteFile(dir / "tagged.mp3", id3v2 + audio + ape + lyrics + id3v1);

    std::vector<audio::Mp3TagError> errors;
    const auto plain = audio::CheckMp3(dir / "plain.mp3", [&](const audio::Mp3TagError& e) { errors.push_back(e); });
    const auto tagged = audio::CheckMp3(dir / "tagged.mp3", [&](const audio::Mp3TagError& e) { errors.push_back(e); });
    EXPECT_TRUE(errors.empty());
    ASSERT_TRUE(plain.playable);
    ASSERT_TRUE(tagged.playable);
    EXPECT_EQ(tagged.audioStart, static_cast<std::int64_t>(id3v2.size()) + plain.audioStart);
    EXPECT_EQ(tagged.audioEnd, static_cast<std::int64_t>(id3v2.size() + audio.size()));
    EXPECT_EQ(tagged.version, 2);  // 16 kHz is MPEG-2
    EXPECT_EQ(tagged.layer, 3);
    EXPECT_EQ(tagged.sampleRate, 16000);
    EXPECT_EQ(tagged.channels, 1);
    EXPECT_EQ(tagged.seconds, 2);
    EXPECT_NEAR(tagged.byteRate, 4000, 1);

    // With a Xing header the byte rate comes from it.
    ASSERT_TRUE(test::MakeMp3(dir / "tone.wav", dir / "vbr.mp3", "-m m -V 5"));
    const auto vbr = audio::CheckMp3(dir / "vbr.mp3", [](const audio::Mp3TagError&) {});
    EXPECT_TRUE(vbr.hasVbrHeader);
    EXPECT_TRUE(vbr.playable);
    EXPECT_EQ(vbr.seconds, 2);

    // A damaged Lyrics3 tag: the message, and the file still checks.
    test::WriteFile(dir / "damaged.mp3", audio + "LYRICSBEGINxx" "00x024" "LYRICS200");
    const auto damaged = audio::CheckMp3(dir / "damaged.mp3", [&](const audio::Mp3TagError& e) { errors.push_back(e); });
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(audio::Mp3TagErrorText("/g/damaged.mp3", errors[0]), "'/g/damaged.mp3'\nCorrupt Lyrics3 Tag");
    EXPECT_EQ(audio::Mp3TagErrorText("/g/x.mp3", {"ReadFile", "Can't read from file.", "Input/output error"}),
              "ReadFile: '/g/x.mp3'\nCan't read from file.\nInput/output error");
    EXPECT_TRUE(damaged.playable);

    // An APE footer that gives its tag no size (a fuzzer's find: it was read
    // again and again): the message, and the check ends.
    errors.clear();
    test::WriteFile(dir / "apezero.mp3", audio + "APETAGEX" + std::string("\xD0\x07\0\0", 4) +
                                             std::string(4, '\0') + std::string(16, '\0'));
    const auto apeZero = audio::CheckMp3(dir / "apezero.mp3", [&](const audio::Mp3TagError& e) { errors.push_back(e); });
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text, "Corrupt APE Tag");
    EXPECT_TRUE(apeZero.playable);

    // Not MPEG audio at all, or nothing left between the tags.
    test::WriteFile(dir / "text.mp3", std::string(50000, 'x'));
    EXPECT_FALSE(audio::CheckMp3(dir / "text.mp3", [](const audio::Mp3TagError&) {}).playable);
    test::WriteFile(dir / "tagonly.mp3", id3v2 + id3v1);
    EXPECT_FALSE(audio::CheckMp3(dir / "tagonly.mp3", [](const audio::Mp3TagError&) {}).playable);
}

TEST(GreetingPlayer, ATaggedMp3PlaysAndATagErrorIsShownInAMessageBox) {
    Playback p;
    test::WriteWav(p.dir / "tone.wav", test::Tone(16000, 1, 1.5), 16000, 1);
    ASSERT_TRUE(test::MakeMp3(p.dir / "tone.wav", p.dir / "plain.mp3", "-m m"));
    test::WriteFile(p.dir / "g.mp3", test::ReadFile(p.dir / "plain.mp3") + "LYRICSEND");
    ASSERT_TRUE(p.player.Play(p.dir / "g.mp3"));
    p.Run(992);
    p.Run(500);
    ASSERT_EQ(p.prompts.asked.size(), 1u);
    EXPECT_EQ(p.prompts.asked[0].caption, "MPAFile Error");
    const std::string expected = audio::Mp3TagErrorText(p.dir / "g.mp3", {"", "Corrupt Lyrics3 Tag", ""});
    EXPECT_EQ(p.prompts.asked[0].text, expected);
    EXPECT_EQ(expected.substr(0, 1) + expected.substr(expected.size() - 21), "''\nCorrupt Lyrics3 Tag");
    EXPECT_GT(p.sink.sends.size(), 100u);
    EXPECT_EQ(p.Finished(), 1);
}

TEST(PcmRingBuffer, WritesAndReadsWrapAndRefuseWhatDoesNotFit) {
    audio::PcmRingBuffer ring;
    std::vector<std::uint8_t> in(19200);
    for (std::size_t i = 0; i < in.size(); ++i) in[i] = static_cast<std::uint8_t>(i * 7);
    std::uint8_t out[19200];
    EXPECT_TRUE(ring.empty());
    EXPECT_FALSE(ring.Read(out, 1));
    ASSERT_TRUE(ring.Write(in.data(), 19000));
    EXPECT_FALSE(ring.Write(in.data(), 201)) << "a write that does not fit is refused whole";
    EXPECT_EQ(ring.length(), 19000u);
    ASSERT_TRUE(ring.Write(in.data() + 19000, 200));
    EXPECT_TRUE(ring.full());
    EXPECT_FALSE(ring.Write(in.data(), 0)) << "nothing goes into a full buffer";
    ASSERT_TRUE(ring.Read(out, 18000));
    EXPECT_FALSE(ring.full());
    EXPECT_FALSE(ring.Read(out, 1201)) << "fewer stored than asked for";
    ASSERT_TRUE(ring.Write(in.data(), 1000));  // wraps at the end
    ASSERT_TRUE(ring.Read(out, 2200));
    EXPECT_TRUE(std::equal(out, out + 1200, in.begin() + 18000));
    EXPECT_TRUE(std::equal(out + 1200, out + 2200, in.begin()));
    EXPECT_TRUE(ring.empty());
    EXPECT_EQ(ring.length(), 0u);
}

}  // namespace
}  // namespace zorvan
