// The greeting recorder with a real microphone: a PulseAudio server started
// by the test, whose default source is a 440 Hz sine, captured through Qt
// Multimedia for a second.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "audio/record/greeting_recorder.h"
#include "platform/qt/qt_capture_source.h"
#include "support/audio_fixtures.h"
#include "support/qt_wait.h"
#include "support/temp_dir.h"

namespace zorvan {
namespace {

using test::WaitUntil;

TEST(RecorderWithPulseAudio, OneSecondOfTheDefaultSourceIsItsSine) {
    test::TempDir runtime;
    test::TempDir home;
    ::chmod(runtime.path().c_str(), 0700);
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.path()));
    qputenv("HOME", QByteArray::fromStdString(home.path()));
    qunsetenv("PULSE_SERVER");
    // posix_spawn rather than QProcess, whose clone-based start
    // ThreadSanitizer's runtime cannot follow (scripts/tsan.sh).
    std::vector<std::string> args{"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--disable-shm=yes",
                                  "-L", "module-native-protocol-unix", "-L",
                                  "module-sine-source source_name=sine rate=16000 frequency=440", "-L",
                                  "module-null-sink"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t server = 0;
    ASSERT_EQ(::posix_spawnp(&server, "pulseaudio", nullptr, nullptr, argv.data(), ::environ), 0);
    struct Stop {
        pid_t pid;
        ~Stop() {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
    } stop{server};
    ASSERT_TRUE(WaitUntil([] { return test::Run("pactl set-default-source sine >/dev/null 2>&1"); }, 10000))
        << "the sound server did not come up";

    QtCaptureSource source;
    const auto devices = source.Devices();
    ASSERT_FALSE(devices.empty());
    audio::GreetingRecorder recorder(source);
    const std::string path = home / "greeting.wav";
    std::string error;
    ASSERT_TRUE(recorder.Start(0, path, &error)) << error;
    WaitUntil([] { return false; }, 1500);
    ASSERT_TRUE(recorder.Stop(&error)) << error;

    int rate = 0;
    int channels = 0;
    const auto samples = test::ReadWav(path, &rate, &channels);
    EXPECT_EQ(rate, 16000);
    EXPECT_EQ(channels, 1);
    ASSERT_GE(samples.size(), 16000u) << "at least a second";
    // A 440 Hz sine crosses zero 880 times a second; its level is steady.
    const std::size_t from = samples.size() - 16000;
    int crossings = 0;
    double energy = 0;
    for (std::size_t i = from + 1; i < samples.size(); ++i) {
        if ((samples[i - 1] < 0) != (samples[i] < 0)) ++crossings;
        energy += static_cast<double>(samples[i]) * samples[i];
    }
    EXPECT_NEAR(crossings, 880, 20);
    EXPECT_GT(std::sqrt(energy / 16000), 1000.0) << "a sine, not silence";

}

}  // namespace
}  // namespace zorvan
