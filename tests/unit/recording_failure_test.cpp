// A recording whose file stops taking data: the disk is full or the file
// reached the process's size limit part-way through the call.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <filesystem>

#include "audio/record/call_recorder.h"
#include "platform/um_events.h"
#include "platform/virtual_event_loop.h"
#include "support/audio_fixtures.h"
#include "support/fake_skype_transport.h"
#include "support/temp_dir.h"

namespace zorvan {
namespace {

// Limits the size of files this process writes for the scope's life; the
// signal the kernel would send instead of failing the write is ignored.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ok_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        signal(SIGXFSZ, oldHandler_);
    }
    bool ok() const { return ok_; }

private:
    rlimit old_{};
    sighandler_t oldHandler_ = SIG_DFL;
    bool ok_ = false;
};

TEST(CallRecorder, ARecordingWhoseWritesFailStopsAndSaysSoOnceWhileTheCallGoesOn) {
    test::TempDir dir;
    VirtualEventLoop loop;
    test::FakePrompts prompts;
    test::EventLog main;
    ScopedTarget mainTarget{loop, main};
    audio::CallRecorder recorder{loop, prompts};
    recorder.SetNotifyWindow(mainTarget.id());
    const std::string file = dir / "call.mp3";

    constexpr rlim_t kLimit = 16 * 1024;  // about two seconds of the recording
    {
        FileSizeLimit limit(kLimit);
        ASSERT_TRUE(limit.ok());
        ASSERT_TRUE(recorder.Start(file));
        // Ten seconds of call, both sides, 10 ms at a time.
        auto voice = test::Tone(16000, 1, 10.0);
        for (std::size_t at = 0; at + 160 <= voice.size(); at += 160) {
            audio::CBuffer chunk(reinterpret_cast<std::uint8_t*>(voice.data() + at), 320);
            EXPECT_TRUE(recorder.PushInput(chunk));
            EXPECT_TRUE(recorder.PushOutput(chunk));
            if (at % 1600 == 0) loop.advance(10);
        }
        loop.advance(1000);
        loop.settle();
        EXPECT_TRUE(recorder.failed());
        EXPECT_EQ(recorder.queued(), 0u) << "nothing more is kept for a file that takes nothing";
        recorder.Stop();
    }
    loop.runPending();
    ASSERT_EQ(prompts.asked.size(), 1u) << "told once, also when the file's last frames fail at the close";
    EXPECT_EQ(prompts.asked[0].caption, "Zorvan Create Mp3 File Failed!");
    EXPECT_EQ(prompts.asked[0].text, "File too large");
    std::vector<std::uint32_t> posted;
    for (const Event& e : main.events) posted.push_back(e.id);
    EXPECT_EQ(posted, (std::vector<std::uint32_t>{um::UM_STOP_RECORDING}));
    EXPECT_LE(std::filesystem::file_size(file), kLimit);
    EXPECT_GT(std::filesystem::file_size(file), kLimit / 2) << "what fitted was written";

    // The next recording starts afresh.
    ASSERT_TRUE(recorder.Start(dir / "next.mp3"));
    EXPECT_FALSE(recorder.failed());
    recorder.Stop();
    EXPECT_EQ(prompts.asked.size(), 1u);
}

}  // namespace
}  // namespace zorvan
