// The greeting recorder over a fake microphone: the file's bytes, the
// temporary file beside the greeting, and a failed attempt that leaves the
// old greeting whole.
#include <gtest/gtest.h>

#include <filesystem>

#include "audio/record/greeting_recorder.h"
#include "support/temp_dir.h"

namespace zorvan::audio {
namespace {

class FakeSource final : public CaptureSource {
public:
    std::vector<std::string> devices{"Built-in Microphone", "USB Headset"};
    bool startResult = true;
    std::size_t started = 99;
    Samples deliver;
    int stops = 0;
    std::vector<std::string> Devices() override { return devices; }
    bool Start(std::size_t device, Samples onSamples, std::string* error) override {
        if (!startResult) {
            if (error != nullptr) *error = "device busy";
            return false;
        }
        started = device;
        deliver = std::move(onSamples);
        return true;
    }
    void Stop() override {
        ++stops;
        deliver = nullptr;
    }
    void Feed(std::size_t count, std::int16_t value) {
        std::vector<std::int16_t> samples(count, value);
        deliver(samples.data(), samples.size());
    }
};

std::string Bytes(const std::vector<std::uint8_t>& v) { return std::string(v.begin(), v.end()); }

TEST(GreetingRecorder, WritesA16kMonoWavWithAn18ByteFmtChunk) {
    const std::string h = Bytes(GreetingWavHeader(32000));
    const std::string expected("RIFF\x26\x7D\x00\x00WAVEfmt \x12\x00\x00\x00\x01\x00\x01\x00\x80\x3E\x00\x00"
                               "\x00\x7D\x00\x00\x02\x00\x10\x00\x00\x00" "data\x00\x7D\x00\x00",
                               46);
    EXPECT_EQ(h, expected) << "RIFF size 4+26+8+32000 = 32038, fmt 18 bytes, extra size 0";

    test::TempDir dir;
    const std::string path = dir / "greeting.wav";
    FakeSource source;
    GreetingRecorder recorder(source);
    std::string error;
    ASSERT_TRUE(recorder.Start(1, path, &error)) << error;
    EXPECT_EQ(source.started, 1u);
    EXPECT_TRUE(recorder.recording());
    EXPECT_TRUE(std::filesystem::exists(GreetingRecorder::TemporaryPath(path)));
    EXPECT_FALSE(std::filesystem::exists(path)) << "the greeting appears only when stopped";
    source.Feed(16000, 1000);  // one second
    source.Feed(160, -2);
    ASSERT_TRUE(recorder.Stop(&error)) << error;
    EXPECT_EQ(source.stops, 1);
    EXPECT_FALSE(recorder.recording());
    EXPECT_FALSE(std::filesystem::exists(GreetingRecorder::TemporaryPath(path)));
    const std::string file = test::ReadFile(path);
    ASSERT_EQ(file.size(), 46u + 32320u);
    EXPECT_EQ(file.substr(0, 46), Bytes(GreetingWavHeader(32320)));
    EXPECT_EQ(file.substr(46, 2), std::string("\xE8\x03", 2));
    EXPECT_EQ(file.substr(file.size() - 2), std::string("\xFE\xFF", 2));

    // A second recording replaces the first.
    ASSERT_TRUE(recorder.Start(0, path, &error));
    source.Feed(800, 7);
    ASSERT_TRUE(recorder.Stop(&error));
    EXPECT_EQ(test::ReadFile(path).size(), 46u + 1600u);
}

TEST(GreetingRecorder, AFailedAttemptLeavesTheOldGreetingWhole) {
    test::TempDir dir;
    const std::string path = dir / "greeting.wav";
    test::WriteFile(path, "the old greeting");
    FakeSource source;
    source.startResult = false;
    GreetingRecorder recorder(source);
    std::string error;
    EXPECT_FALSE(recorder.Start(0, path, &error));
    EXPECT_EQ(error, "device busy");
    EXPECT_FALSE(recorder.recording());
    EXPECT_EQ(test::ReadFile(path), "the old greeting");
    EXPECT_FALSE(std::filesystem::exists(GreetingRecorder::TemporaryPath(path))) << "nothing left behind";

    // A folder that cannot take the file: refused before any capture.
    source.startResult = true;
    EXPECT_FALSE(recorder.Start(0, dir / "no/such/folder/g.wav", &error));
    EXPECT_NE(error.find("Cannot create"), std::string::npos) << error;
    EXPECT_EQ(source.started, 99u);
    EXPECT_FALSE(recorder.Stop()) << "nothing to stop";
}

}  // namespace
}  // namespace zorvan::audio
