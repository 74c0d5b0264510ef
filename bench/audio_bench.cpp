// The receive path of an audio port: poll, read, chunking and the hooks
// (empty consumers), measured as CPU time of the stream thread per 320-byte
// chunk, on real loopback sockets. Prints each figure next to its goal.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "audio/audio_stream_server.h"
#include "platform/prompts.h"

namespace {

struct NoPrompts final : zorvan::Prompts {
    zorvan::PromptAnswer messageBox(const std::string&, const std::string& text, zorvan::PromptIcon,
                                    zorvan::PromptButtons) override {
        std::fprintf(stderr, "%s\n", text.c_str());
        return zorvan::PromptAnswer::Ok;
    }
};

struct NullRecorder final : zorvan::audio::ChunkRecorder {
    void PushInput(const zorvan::audio::CBuffer&) override {}
    void PushOutput(const zorvan::audio::CBuffer&) override {}
};

double CpuSeconds(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

}  // namespace

int main() {
    using namespace zorvan::audio;
    NoPrompts prompts;
    NullRecorder recorder;
    AudioStreamServer server(prompts, {0, 0});
    std::atomic<long> chunks{0};
    std::atomic<bool> haveClock{false};
    clockid_t streamClock{};
    server.SetRecorder(&recorder);
    server.SetRecordingState(RecRecording);
    server.SetDetectorStep([&](const std::uint8_t*) {
        if (!haveClock) {
            pthread_getcpuclockid(pthread_self(), &streamClock);
            haveClock = true;
        }
        ++chunks;
    });
    if (!server.OpenOutputPort()) return 1;

    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(server.outputPort());
    ::inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) return 1;
    std::vector<std::uint8_t> chunk(320, 7);

    // One chunk at a time, as a call delivers them: every read is 320 bytes.
    const auto send = [&](long n) {
        for (long i = 0; i < n; ++i) {
            const long before = chunks;
            if (::send(fd, chunk.data(), chunk.size(), 0) != 320) return;
            // Paced like a call (faster, to keep the run short): the thread
            // sleeps in its poll between chunks, as it does in a call.
            while (chunks == before) std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    };
    send(100);  // warm up; learn the thread's clock
    constexpr long kChunks = 5000;
    const double cpuBefore = CpuSeconds(streamClock);
    send(kChunks);
    const double perChunkUs = (CpuSeconds(streamClock) - cpuBefore) / kChunks * 1e6;
    // A call: 100 chunks a second on each of the two ports.
    const double corePercent = perChunkUs * 200 / 1e6 * 100;
    std::printf("%-46s %8.3f us  goal <= 5 us  %s\n", "receive path per 320-byte chunk", perChunkUs,
                perChunkUs <= 5 ? "ok" : "OVER");
    std::printf("%-46s %8.3f %%   goal <= 1 %%  %s\n", "one call's two streams, share of a core", corePercent,
                corePercent <= 1 ? "ok" : "OVER");
    ::close(fd);
    server.Destroy();
    return perChunkUs <= 5 ? 0 : 1;
}
