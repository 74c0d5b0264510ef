// Call recording: pairing, mixing and draining in virtual time, and the MP3
// file as a decoder sees it.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <mutex>

#include "audio/audio_stream_server.h"
#include "audio/record/call_recorder.h"
#include "audio/record/mp3_file.h"
#include "platform/virtual_event_loop.h"
#include "support/audio_fixtures.h"
#include "support/temp_dir.h"

namespace zorvan {
namespace {

using audio::CallRecorder;
using audio::CBuffer;

struct CaptureWriter final : audio::IWriteToFile {
    std::mutex mutex;
    std::vector<std::vector<std::int16_t>> chunks;
    int closes = 0;
    bool Write(const CBuffer& b) override {
        std::lock_guard lock(mutex);
        chunks.emplace_back(reinterpret_cast<const std::int16_t*>(b.data),
                            reinterpret_cast<const std::int16_t*>(b.data) + b.size / 2);
        return true;
    }
    bool Close() override {
        ++closes;
        return true;
    }
    std::size_t Count() {
        std::lock_guard lock(mutex);
        return chunks.size();
    }
};

std::vector<std::int16_t> Chunk(std::int16_t first, std::int16_t step = 1) {
    std::vector<std::int16_t> c(160);
    for (std::size_t i = 0; i < c.size(); ++i) c[i] = static_cast<std::int16_t>(first + step * static_cast<int>(i));
    return c;
}

bool Push(CallRecorder& r, bool input, std::vector<std::int16_t> samples) {
    CBuffer view(reinterpret_cast<std::uint8_t*>(samples.data()), static_cast<std::int32_t>(samples.size() * 2));
    return input ? r.PushInput(view) : r.PushOutput(view);
}

struct Recording {
    VirtualEventLoop loop;
    test::FakePrompts prompts;
    CaptureWriter writer;  // outlives the recorder that writes to it
    CallRecorder recorder{loop, prompts};
};

TEST(CallRecorder, PairsBothSidesInOrderAndMixesThemWithClipping) {
    Recording r;
    ASSERT_TRUE(r.recorder.StartWith(r.writer));
    for (int n = 0; n < 30; ++n) {
        ASSERT_TRUE(Push(r.recorder, true, Chunk(static_cast<std::int16_t>(n * 1000))));
        ASSERT_TRUE(Push(r.recorder, false, Chunk(static_cast<std::int16_t>(n), 0)));
    }
    ASSERT_TRUE(Push(r.recorder, true, std::vector<std::int16_t>(160, 30000)));
    ASSERT_TRUE(Push(r.recorder, false, std::vector<std::int16_t>(160, 30000)));
    ASSERT_TRUE(Push(r.recorder, true, std::vector<std::int16_t>(160, -30000)));
    ASSERT_TRUE(Push(r.recorder, false, std::vector<std::int16_t>(160, -3000)));
    r.loop.advance(100);  // the writer may have gone to sleep before the first chunk
    r.loop.settle();
    ASSERT_EQ(r.writer.Count(), 32u) << "written while the call goes on, one mix per pair";
    for (int n = 0; n < 30; ++n) {
        const auto want = Chunk(static_cast<std::int16_t>(n * 1000 + n));
        EXPECT_EQ(r.writer.chunks[static_cast<std::size_t>(n)], want) << "pair " << n;
    }
    EXPECT_EQ(r.writer.chunks[30], std::vector<std::int16_t>(160, 32767));
    EXPECT_EQ(r.writer.chunks[31], std::vector<std::int16_t>(160, -32768));
    r.recorder.Stop();
    EXPECT_EQ(r.writer.closes, 1);
    EXPECT_FALSE(r.recorder.active());
    EXPECT_EQ(r.recorder.inputPool().Free(), r.recorder.inputPool().Created()) << "every buffer back in its pool";
    // Not recording: chunks are ignored, and only whole chunks are taken at all.
    EXPECT_TRUE(Push(r.recorder, true, Chunk(1)));
    EXPECT_FALSE(Push(r.recorder, true, std::vector<std::int16_t>(100)));
    EXPECT_EQ(r.recorder.queued(), 0u);
}

TEST(CallRecorder, OneSideAloneWaitsUntilStopThenDrainsUnmixed) {
    Recording r;
    ASSERT_TRUE(r.recorder.StartWith(r.writer));
    for (int n = 0; n < 50; ++n) ASSERT_TRUE(Push(r.recorder, false, Chunk(static_cast<std::int16_t>(n))));
    r.loop.advance(5000);
    EXPECT_EQ(r.writer.Count(), 0u) << "nothing while the microphone side is late";
    EXPECT_EQ(r.recorder.queued(), 50u);
    // The late side catches up: pairing resumes in order.
    ASSERT_TRUE(Push(r.recorder, true, Chunk(0, 0)));
    r.loop.advance(50);
    ASSERT_EQ(r.writer.Count(), 1u);
    EXPECT_EQ(r.writer.chunks[0], Chunk(0));
    r.recorder.Stop();
    ASSERT_EQ(r.writer.Count(), 50u);
    for (int n = 1; n < 50; ++n) EXPECT_EQ(r.writer.chunks[static_cast<std::size_t>(n)], Chunk(static_cast<std::int16_t>(n)));
}

TEST(CallRecorder, PoolsGrowPastTenSecondsOfAudio) {
    Recording r;
    ASSERT_TRUE(r.recorder.StartWith(r.writer));
    for (int n = 0; n < 1100; ++n) ASSERT_TRUE(Push(r.recorder, false, Chunk(1)));
    EXPECT_EQ(r.recorder.outputPool().Created(), 1100u);
    r.recorder.Stop();
    EXPECT_EQ(r.writer.Count(), 1100u);
}

// The first frame header of an MPEG audio file after any ID3v2 tag.
struct Mp3Header {
    int version = 0, layer = 0, rate = 0, channels = 0, kbps = 0;
    bool crc = true, original = false;
};
Mp3Header FirstHeader(const std::string& bytes) {
    for (std::size_t i = 0; i + 4 <= bytes.size(); ++i) {
        const auto b = [&](std::size_t k) { return static_cast<unsigned char>(bytes[i + k]); };
        if (b(0) != 0xFF || (b(1) & 0xE0) != 0xE0) continue;
        Mp3Header h;
        h.version = (b(1) >> 3 & 3) == 3 ? 1 : 2;
        h.layer = 4 - (b(1) >> 1 & 3);
        h.crc = (b(1) & 1) == 0;
        static const int kRates[] = {44100, 48000, 32000};
        h.rate = kRates[b(2) >> 2 & 3];
        static const int kL3[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
        h.kbps = kL3[b(2) >> 4];
        h.channels = (b(3) >> 6) == 3 ? 1 : 2;
        h.original = (b(3) & 4) != 0;
        return h;
    }
    return {};
}

// The audio server with the program's recorder.
struct RecordingServer {
    test::TempDir dir;
    VirtualEventLoop loop;
    test::FakePrompts prompts;
    audio::AudioStreamServer server{prompts, {0, 0}};
    CallRecorder recorder{loop, prompts};
    RecordingServer() { server.SetRecorder(&recorder); }
};

TEST(CMp3File, ARecordingIsMpeg1Layer3At32kMono64kbitAndAsLongAsTheCall) {
    RecordingServer r;
    auto& [dir, loop, prompts, server, recorder] = r;
    server.StartRecording(dir / "call");
    server.StartRecording(dir / "again");  // a second start does nothing
    EXPECT_EQ(server.recordingState(), audio::RecRecording);
    // Three seconds of call: a 440 Hz voice against a 1 kHz microphone copy.
    const auto voice = test::Tone(16000, 1, 3.0, 440, 6000);
    const auto mic = test::Tone(16000, 1, 3.0, 1000, 3000);
    std::vector<std::int16_t> mix(voice.size());
    for (std::size_t at = 0; at < voice.size(); at += 160) {
        Push(recorder, false, {voice.begin() + static_cast<long>(at), voice.begin() + static_cast<long>(at) + 160});
        Push(recorder, true, {mic.begin() + static_cast<long>(at), mic.begin() + static_cast<long>(at) + 160});
    }
    for (std::size_t i = 0; i < mix.size(); ++i) mix[i] = static_cast<std::int16_t>(voice[i] + mic[i]);
    loop.settle();
    server.StopRecording();
    EXPECT_EQ(server.recordingState(), audio::RecStopped);
    EXPECT_TRUE(prompts.asked.empty());
    EXPECT_FALSE(std::ifstream(dir / "again.mp3").good());

    const std::string mp3 = test::ReadFile(dir / "call.mp3");
    const Mp3Header h = FirstHeader(mp3);
    EXPECT_EQ(h.version, 1);
    EXPECT_EQ(h.layer, 3);
    EXPECT_EQ(h.rate, 32000);
    EXPECT_EQ(h.channels, 1);
    EXPECT_EQ(h.kbps, 64);
    EXPECT_FALSE(h.crc);
    EXPECT_TRUE(h.original);
    EXPECT_EQ(mp3.find("Xing"), std::string::npos);
    EXPECT_EQ(mp3.find("Info"), std::string::npos);
    EXPECT_EQ(mp3.size() % 288, 0u) << "constant 64 kbit/s: every frame 288 bytes";

    // Decoded by mpg123, which knows nothing of the encoder's figures (the
    // file has no tag that carries them, so every frame is played whole).
    // The 3 s call is 2 x 48 000 samples at 32 kHz. A decoder's output
    // trails the encoder's input by the encoder's look-ahead (576 samples)
    // and the synthesis filter bank's delay (529), so the whole call is out
    // only after 2N + 1105 samples; the file holds whole frames of 1152, and
    // the encoder has no reason to add a frame beyond the one that carries
    // the last of the call.
    ASSERT_TRUE(test::Run("mpg123 -q --mono -e s16 -s '" + (dir / "call.mp3") + "' > '" + (dir / "call.raw") + "'"));
    const auto decoded = test::Samples(test::ReadFile(dir / "call.raw"));
    constexpr std::size_t kFrame = 1152, kDelay = 576 + 529;
    const std::size_t pushed = voice.size();
    EXPECT_EQ(decoded.size() % kFrame, 0u) << decoded.size();
    EXPECT_GE(decoded.size(), 2 * pushed + kDelay) << "the end of the call is missing";
    EXPECT_LT(decoded.size(), 2 * pushed + kDelay + kFrame) << "more than the frame that carries the call's end";
    EXPECT_EQ(mp3.size() / 288, decoded.size() / kFrame) << "one 288-byte frame per 1152 samples";
    ASSERT_TRUE(test::Run("mpg123 -v --stdout '" + (dir / "call.mp3") + "' 2> '" + (dir / "mpg123.txt") + "' > /dev/null"));
    EXPECT_NE(test::ReadFile(dir / "mpg123.txt").find("MPEG 1.0 L III cbr64 32000 mono"), std::string::npos);

    // The content is the mix, in its place to the sample: the mix's sample i
    // is the decoded sample 2i + 1105 (one 32 kHz sample off, a 1 kHz tone
    // already falls below 0.995), over the whole call and at both its ends.
    ASSERT_GE(decoded.size(), 2 * pushed + kDelay);
    std::vector<std::int16_t> at16k(pushed);
    for (std::size_t i = 0; i < pushed; ++i) at16k[i] = decoded[2 * i + kDelay];
    const auto correlation = [&](std::size_t from, std::size_t to) {
        double ab = 0, aa = 0, bb = 0;
        for (std::size_t i = from; i < to; ++i) {
            ab += double(mix[i]) * at16k[i];
            aa += double(mix[i]) * mix[i];
            bb += double(at16k[i]) * at16k[i];
        }
        return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0.0;
    };
    EXPECT_GT(correlation(0, pushed), 0.998) << "the whole call";
    EXPECT_GT(correlation(0, 1600), 0.99) << "its first 100 ms";
    EXPECT_GT(correlation(pushed - 1600, pushed), 0.99) << "its last 100 ms";
}

TEST(CMp3File, EncodesExactlyAsTheLameCommandLineWithTheSameSettings) {
    test::TempDir dir;
    test::FakePrompts prompts;
    const auto audio = test::Tone(16000, 1, 1.3, 300, 9000);
    test::WriteFile(dir / "in.raw", test::Bytes(audio));
    audio::CMp3File file(prompts);
    ASSERT_TRUE(file.Open(dir / "ours.mp3"));
    for (std::size_t at = 0; at + 160 <= audio.size(); at += 160) {
        std::vector<std::int16_t> chunk(audio.begin() + static_cast<long>(at), audio.begin() + static_cast<long>(at) + 160);
        ASSERT_TRUE(file.Write(CBuffer(reinterpret_cast<std::uint8_t*>(chunk.data()), 320)));
    }
    ASSERT_TRUE(file.Close());
    EXPECT_FALSE(file.Write(CBuffer(reinterpret_cast<std::uint8_t*>(std::vector<std::int16_t>(160).data()), 320)));
    ASSERT_TRUE(test::Run("lame --quiet -r -s 16 --bitwidth 16 --signed --little-endian -m m --resample 32 -b 64 "
                          "--cbr --nores -t '" + (dir / "in.raw") + "' '" + (dir / "theirs.mp3") + "' 2>/dev/null"));
    EXPECT_TRUE(test::ReadFile(dir / "ours.mp3") == test::ReadFile(dir / "theirs.mp3"));
}

TEST(CMp3File, AFileThatCannotBeMadeIsReportedAndNothingIsRecorded) {
    RecordingServer r;
    auto& [dir, loop, prompts, server, recorder] = r;
    server.StartRecording(dir / "no-such-folder/call");
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].caption, "Zorvan Create Mp3 File Failed!");
    EXPECT_EQ(prompts.asked[0].text, "No such file or directory");
    EXPECT_EQ(prompts.asked[0].icon, PromptIcon::Error);
    EXPECT_EQ(server.recordingState(), audio::RecRecording) << "the call goes on as if recording";
    EXPECT_TRUE(Push(recorder, true, Chunk(1)));
    EXPECT_EQ(recorder.queued(), 0u) << "but no chunk is taken";
    server.StopRecording();

    // A path longer than the platform holds is refused whole, not cut short.
    server.StartRecording(dir.path() + "/" + std::string(5000, 'x'));
    ASSERT_EQ(prompts.asked.size(), 2u);
    EXPECT_EQ(prompts.asked[1].text, "File name too long");
    server.StopRecording();
    // A name too long for one folder entry: the system says so.
    server.StartRecording(dir / std::string(300, 'y'));
    ASSERT_EQ(prompts.asked.size(), 3u);
    EXPECT_EQ(prompts.asked[2].text, "File name too long");
    server.StopRecording();
    // Stopping without a recording only sets the state.
    server.StopRecording();
    EXPECT_EQ(server.recordingState(), audio::RecStopped);
}

}  // namespace
}  // namespace zorvan
