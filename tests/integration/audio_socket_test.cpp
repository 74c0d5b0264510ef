// The audio ports on real loopback sockets.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/audio_stream_server.h"
#include "audio/greeting/greeting_player.h"
#include "audio/stream_format.h"
#include "platform/um_events.h"
#include "platform/virtual_event_loop.h"
#include "support/fake_skype_transport.h"
#include "support/audio_fixtures.h"
#include "support/temp_dir.h"

namespace zorvan::audio {
namespace {

using namespace std::chrono_literals;

in_addr Loopback() {
    in_addr a{};
    ::inet_pton(AF_INET, "127.0.0.1", &a);
    return a;
}

int Connect(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    // The client's own (ephemeral) port may be one of the dialer's fixed
    // ports; marked reusable, its TIME_WAIT does not keep the dialer's next
    // listener off that port.
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr = Loopback();
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void WriteAll(int fd, const std::vector<std::uint8_t>& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        ASSERT_GT(n, 0);
        sent += static_cast<std::size_t>(n);
    }
}

std::vector<std::uint8_t> Pattern(std::size_t n, int seed) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>((i * 7 + static_cast<std::size_t>(seed)) & 0xFF);
    return v;
}

// Waits, at most five seconds, until `bytes` bytes wait unread in the socket.
bool WaitForUnread(int fd, int bytes) {
    for (int i = 0; i < 5000; ++i) {
        int unread = 0;
        if (::ioctl(fd, FIONREAD, &unread) == 0 && unread >= bytes) return true;
        std::this_thread::sleep_for(1ms);
    }
    return false;
}

// Polls until something with bytes (or a close) arrives.
EventSocketServer::PollResult PollUntil(EventSocketServer& server, std::uint8_t* buffer, int events) {
    EventSocketServer::PollResult r;
    for (int i = 0; i < 100; ++i) {
        server.Poll(r, buffer);
        if ((r.networkEvents & events) != 0) return r;
    }
    return r;
}

TEST(EventSocketServer, ListensAcceptsReadsAndReportsTheLastClientLeaving) {
    EventSocketServer server;
    std::uint8_t buffer[1024];
    EventSocketServer::PollResult r;
    EXPECT_EQ(server.CloseAll(), sockerr::kNotConnected);
    EXPECT_EQ(server.Poll(r, buffer), sockerr::kNotConnected);
    ASSERT_EQ(server.Listen(Loopback(), 0), 0);
    EXPECT_EQ(server.Listen(Loopback(), 0), sockerr::kAlreadyConnected);
    EXPECT_EQ(server.state(), EventSocketServer::Listening);
    const int client = Connect(server.localPort());
    ASSERT_GE(client, 0);
    r = PollUntil(server, buffer, netev::kAccept);
    EXPECT_EQ(server.state(), EventSocketServer::ListeningWithClient);
    EXPECT_EQ(r.peerAddress, Loopback().s_addr);

    WriteAll(client, Pattern(320, 1));
    r = PollUntil(server, buffer, netev::kRead);
    EXPECT_EQ(r.bytesReceived, 320u);
    EXPECT_EQ(std::memcmp(buffer, Pattern(320, 1).data(), 320), 0);

    // A reader that fell behind gets at most 1022 bytes a read.
    WriteAll(client, Pattern(2000, 2));
    int accepted = -1;
    ASSERT_TRUE(server.FirstConnectedSocket(accepted));
    ASSERT_TRUE(WaitForUnread(accepted, 2000)) << "all 2000 bytes wait in the socket before the read";
    r = PollUntil(server, buffer, netev::kRead);
    EXPECT_EQ(r.bytesReceived, 1022u);
    r = PollUntil(server, buffer, netev::kRead);
    EXPECT_EQ(r.bytesReceived, 978u);

    ::close(client);
    r = PollUntil(server, buffer, netev::kClose);
    EXPECT_EQ(server.state(), EventSocketServer::Listening) << "the listener alone remains";
    EXPECT_EQ(server.count(), 1);
    int socket = -1;
    EXPECT_FALSE(server.FirstConnectedSocket(socket));
}

TEST(EventSocketServer, ASendWhileOneIsPendingIsRefusedAndTheNextGoesOutAfterTheFlush) {
    EventSocketServer server;
    std::uint8_t buffer[1024];
    ASSERT_EQ(server.Listen(Loopback(), 0), 0);
    const int client = Connect(server.localPort());
    PollUntil(server, buffer, netev::kAccept);
    int socket = -1;
    ASSERT_TRUE(server.FirstConnectedSocket(socket));
    // The client does not read: the socket buffers fill and the rest waits.
    const auto big = Pattern(16 << 20, 3);
    ASSERT_EQ(server.Send(socket, big.data(), big.size()), sockerr::kWouldBlock);
    const auto chunk = Pattern(320, 4);
    EXPECT_EQ(server.Send(socket, chunk.data(), chunk.size()), sockerr::kIoPending);
    EXPECT_EQ(server.Send(12345, chunk.data(), chunk.size()), sockerr::kInvalidParameter);

    // The client drains everything while the server flushes on write events;
    // a flush that stalls ends its reads after ten seconds.
    const timeval limit{10, 0};
    ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    std::atomic<std::size_t> received{0};
    std::thread reader([&] {
        std::vector<std::uint8_t> in(65536);
        while (received < big.size()) {
            const ssize_t n = ::recv(client, in.data(), in.size(), 0);
            if (n <= 0) break;
            received += static_cast<std::size_t>(n);
        }
    });
    std::size_t flushed = 0;
    while (flushed < big.size()) {
        EventSocketServer::PollResult r;
        ASSERT_EQ(server.Poll(r, buffer), 0);
        flushed += r.bytesFlushed;
        if (server.Send(socket, chunk.data(), 0) != sockerr::kIoPending) break;
    }
    reader.join();
    EXPECT_EQ(received, big.size());
    EXPECT_EQ(server.Send(socket, chunk.data(), chunk.size()), 0) << "after the flush the next send goes out";
    ::close(client);
}

TEST(EventSocketServer, APortTakesSixtyTwoClientsAndRefusesTheNext) {
    EventSocketServer server;
    std::uint8_t buffer[1024];
    ASSERT_EQ(server.Listen(Loopback(), 0), 0);
    std::vector<int> clients;
    for (int i = 0; i < 64; ++i) clients.push_back(Connect(server.localPort()));
    int refused = 0;
    for (int i = 0; i < 400 && refused < 2; ++i) {
        EventSocketServer::PollResult r;
        if (server.Poll(r, buffer) == sockerr::kConnectionRefused) ++refused;
    }
    EXPECT_EQ(server.count(), EventSocketServer::kMaxSockets);
    EXPECT_EQ(refused, 2);
    for (int fd : clients) ::close(fd);
}

struct Recorder final : ChunkRecorder {
    std::mutex mutex;
    std::vector<std::vector<std::uint8_t>> input, output;
    bool Start(const std::string&) override { return true; }
    void Stop() override {}
    bool PushInput(const CBuffer& c) override {
        std::lock_guard lock(mutex);
        input.emplace_back(c.data, c.data + c.size);
        return true;
    }
    bool PushOutput(const CBuffer& c) override {
        std::lock_guard lock(mutex);
        output.emplace_back(c.data, c.data + c.size);
        return true;
    }
    std::size_t Outputs() {
        std::lock_guard lock(mutex);
        return output.size();
    }
    std::vector<std::vector<std::uint8_t>> Output() {
        std::lock_guard lock(mutex);
        return output;
    }
    bool Recorded(const std::vector<std::uint8_t>& chunk) {
        std::lock_guard lock(mutex);
        return std::find(output.begin(), output.end(), chunk) != output.end();
    }
};

bool Eventually(const std::function<bool()>& done) {
    for (int i = 0; i < 500 && !done(); ++i) std::this_thread::sleep_for(10ms);
    return done();
}

TEST(AudioStreamServer, StreamThreadsChunkDetectAndAskForReRouting) {
    test::FakePrompts prompts;
    AudioStreamServer server(prompts, {0, 0});
    Recorder recorder;
    std::atomic<int> detectorSteps{0}, reroutes{0};
    std::atomic<std::size_t> read{0};  // bytes through the output port's reads
    server.SetOutputTap([&](const std::uint8_t*, std::size_t bytes) { read += bytes; });
    server.SetRecorder(&recorder);
    server.SetDetectorStep([&](const std::uint8_t*) { ++detectorSteps; });
    server.SetRerouteRequest([&] { ++reroutes; });
    ASSERT_TRUE(server.OpenInputPort());
    ASSERT_TRUE(server.OpenOutputPort());

    const int voice = Connect(server.outputPort());
    ASSERT_TRUE(Eventually([&] { return server.outputServer().state() == EventSocketServer::ListeningWithClient; }));
    WriteAll(voice, Pattern(320, 5));
    ASSERT_TRUE(Eventually([&] { return detectorSteps == 1; }));
    EXPECT_EQ(recorder.Outputs(), 0u) << "nothing is recorded while idle";

    server.SetRecordingState(RecRecording);
    WriteAll(voice, Pattern(640, 6));
    ASSERT_TRUE(Eventually([&] { return recorder.Outputs() == 2; }));
    const auto sent = Pattern(640, 6);
    EXPECT_EQ(recorder.Output()[0], std::vector<std::uint8_t>(sent.begin(), sent.begin() + 320));
    EXPECT_EQ(recorder.Output()[1], std::vector<std::uint8_t>(sent.begin() + 320, sent.end()));

    // Reads that are not whole chunks are put together into chunks: 500
    // bytes (one chunk and a piece), then 140 that complete the piece (sent
    // once the 500 were read, so the two arrive as two reads).
    std::size_t total = read;
    const int stepsBefore = detectorSteps;
    WriteAll(voice, Pattern(500, 7));
    ASSERT_TRUE(Eventually([&] { return read == total + 500; }));
    total += 500;
    ASSERT_TRUE(Eventually([&] { return recorder.Outputs() == 3; }));
    EXPECT_EQ(detectorSteps, stepsBefore + 1) << "the piece waits for the rest of its chunk";
    WriteAll(voice, Pattern(140, 11));
    ASSERT_TRUE(Eventually([&] { return recorder.Outputs() >= 4; }));
    EXPECT_EQ(recorder.Outputs(), 4u);
    const auto first = Pattern(500, 7);
    const auto rest = Pattern(140, 11);
    std::vector<std::uint8_t> joined(first.begin() + 320, first.end());
    joined.insert(joined.end(), rest.begin(), rest.end());
    EXPECT_EQ(recorder.Output()[2], std::vector<std::uint8_t>(first.begin(), first.begin() + 320));
    EXPECT_EQ(recorder.Output()[3], joined) << "the piece and what completes it, one chunk";
    EXPECT_EQ(detectorSteps, stepsBefore + 2);
    total += 140;

    // Stopped, a chunk is read and not recorded. A later read ends the
    // handling of that one before recording starts again.
    server.SetRecordingState(RecStopped);
    WriteAll(voice, Pattern(320, 8));
    ASSERT_TRUE(Eventually([&] { return read == total + 320; }));
    WriteAll(voice, Pattern(320, 12));
    ASSERT_TRUE(Eventually([&] { return read == total + 640; }));
    server.SetRecordingState(RecRecording);
    WriteAll(voice, Pattern(320, 13));
    ASSERT_TRUE(Eventually([&] { return recorder.Recorded(Pattern(320, 13)); })) << "recording again";
    EXPECT_FALSE(recorder.Recorded(Pattern(320, 8))) << "a chunk read while stopped is not recorded";
    server.SetRecordingState(RecStopped);

    ::close(voice);
    ASSERT_TRUE(Eventually([&] { return reroutes == 1; }));
    EXPECT_EQ(server.outputServer().state(), EventSocketServer::Listening) << "the port goes on serving";

    // A peer that leaves in the middle of a chunk, and one that connects
    // and says nothing, leave the port serving the next one.
    const int half = Connect(server.outputPort());
    WriteAll(half, Pattern(100, 9));
    ::close(half);
    const int silent = Connect(server.inputPort());
    const int next = Connect(server.outputPort());
    WriteAll(next, Pattern(320, 10));
    EXPECT_TRUE(Eventually([&] { return detectorSteps >= 2; })) << detectorSteps;
    ::close(next);
    ::close(silent);
}

// A port the system has just handed out and taken back, to configure as the
// program's fixed ports are configured.
std::uint16_t FreePort() {
    EventSocketServer probe;
    if (probe.Listen(Loopback(), 0) != 0) return 0;
    const std::uint16_t port = probe.localPort();
    probe.CloseAll();
    return port;
}

TEST(AudioStreamServer, GreetingAudioGoesToTheFirstClientAndAReOpenReplacesTheThread) {
    test::FakePrompts prompts;
    const std::uint16_t configured = FreePort();
    ASSERT_NE(configured, 0);
    AudioStreamServer server(prompts, {configured, 0});
    EXPECT_FALSE(server.SendToInputPort(Pattern(320, 1).data(), 320)) << "no client yet";
    ASSERT_TRUE(server.OpenInputPort());
    ASSERT_EQ(server.inputPort(), configured);
    const int first = Connect(server.inputPort());
    ASSERT_TRUE(Eventually([&] { return server.inputServer().count() == 2; }));
    const int second = Connect(server.inputPort());
    ASSERT_TRUE(Eventually([&] { return server.inputServer().count() == 3; }));
    ASSERT_TRUE(server.SendToInputPort(Pattern(320, 9).data(), 320));
    std::vector<std::uint8_t> got(320);
    ASSERT_EQ(::recv(first, got.data(), got.size(), MSG_WAITALL), 320);
    EXPECT_EQ(got, Pattern(320, 9));

    // Re-opening while the old thread waits in its poll: it ends, a new one
    // serves, on the configured port again, although the connections the
    // server has just closed still hold that port.
    ASSERT_TRUE(server.OpenInputPort());
    EXPECT_TRUE(prompts.asked.empty());
    EXPECT_EQ(server.inputPort(), configured);
    EXPECT_EQ(server.inputServer().count(), 1);
    EXPECT_EQ(::recv(first, got.data(), got.size(), 0), 0) << "the old clients were closed";
    const int third = Connect(server.inputPort());
    ASSERT_TRUE(Eventually([&] { return server.inputServer().count() == 2; }));
    for (int fd : {first, second, third}) ::close(fd);
    server.Destroy();
    EXPECT_EQ(server.inputServer().count(), 0);
}

TEST(AudioStreamServer, APortThatCannotBeOpenedIsReportedWithTheCaptionZorvan) {
    test::FakePrompts prompts;
    EventSocketServer squatter;
    ASSERT_EQ(squatter.Listen(Loopback(), 0), 0);
    AudioStreamServer server(prompts, {squatter.localPort(), 0});
    EXPECT_FALSE(server.OpenInputPort());
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].caption, "Zorvan");
    EXPECT_EQ(prompts.asked[0].text, "Create socket failed! Please make sure your firewall/anti-virus software does NOT "
                                     "block the port '" + std::to_string(squatter.localPort()) + "'!");
}

TEST(BufferPool, HandsOutTheLowestAddressGrowsPastTheFirst1024AndZeroesReleasedBuffers) {
    BufferPool pool;
    std::vector<CBuffer*> taken;
    for (int i = 0; i < 1024; ++i) taken.push_back(pool.Acquire());
    EXPECT_TRUE(std::is_sorted(taken.begin(), taken.end(), [](auto a, auto b) { return a->data < b->data; }));
    CBuffer* extra = pool.Acquire();
    ASSERT_NE(extra, nullptr);
    EXPECT_EQ(pool.Created(), 1025u);
    EXPECT_EQ(extra->size, 320);
    EXPECT_FALSE(extra->ownsData);
    std::memset(taken[5]->data, 0xAB, 320);
    pool.Release(taken[5]);
    pool.Release(taken[9]);
    CBuffer* again = pool.Acquire();
    EXPECT_EQ(again, taken[5]) << "the lowest free address first";
    EXPECT_EQ(std::count(again->data, again->data + 320, 0), 320) << "released buffers come back zero-filled";
}


// A greeting played into the input port arrives at the Skype side's socket
// as the WAV's data, byte for byte.
TEST(GreetingPlayer, A16kMonoWavArrivesAtTheCallInputSocketByteForByte) {
    zorvan::test::TempDir dir;
    zorvan::test::FakePrompts prompts;
    VirtualEventLoop loop;
    AudioStreamServer server(prompts, {0, 0});
    ASSERT_TRUE(server.OpenInputPort());
    const int skype = Connect(server.inputPort());
    ASSERT_GE(skype, 0);
    ASSERT_TRUE(Eventually([&] { return server.inputServer().count() == 2; }));
    const auto voice = test::Tone(16000, 1, 0.8);  // under one burst: no pacing pause
    test::WriteWav(dir / "hello.wav", voice, 16000, 1);
    const std::string expected = test::Bytes(voice);

    GreetingPlayer player(loop, server, prompts, kNoTarget);
    ASSERT_TRUE(player.Play(dir / "hello.wav"));
    std::string received;
    char buffer[4096];
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (received.size() < expected.size() && std::chrono::steady_clock::now() < deadline) {
        const ssize_t n = ::recv(skype, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) received.append(buffer, static_cast<std::size_t>(n));
        if (n <= 0) std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(received.size(), expected.size());
    EXPECT_TRUE(received == expected);
    loop.settle();
    loop.advance(500);
    player.Stop();
    ::close(skype);
    server.Destroy();
}


// The detection runs on the output port's stream thread over what arrives.
TEST(AnsweringMachineDetector, ASilentLineOnTheOutputPortIsAPersonAfterTheGraceAndOneSecond) {
    zorvan::test::FakePrompts prompts;
    VirtualEventLoop loop;
    zorvan::test::EventLog log;
    ScopedTarget target(loop, log);
    AudioStreamServer server(prompts, {0, 0});
    server.SetEventLoop(&loop);
    server.SetNotifyWindow(target.id());
    std::atomic<int> chunks{0};
    server.SetDetectorStep([&](const std::uint8_t*) { ++chunks; });
    ASSERT_TRUE(server.OpenOutputPort());
    const int skype = Connect(server.outputPort());
    ASSERT_GE(skype, 0);
    server.StartDetection();
    // Quiet line noise, one 10 ms chunk at a time as a call sends it.
    std::vector<std::uint8_t> chunk(320);
    for (std::size_t i = 0; i < chunk.size(); i += 2) chunk[i] = static_cast<std::uint8_t>((i * 13) % 5);
    for (int n = 1; n <= 179; ++n) {
        WriteAll(skype, chunk);
        ASSERT_TRUE(Eventually([&] { return chunks == n; }));
    }
    loop.runPending();
    EXPECT_TRUE(log.events.empty()) << "80 chunks of grace, then 99 silent ones";
    WriteAll(skype, chunk);
    ASSERT_TRUE(Eventually([&] { return chunks == 180; }));
    loop.runPending();
    ASSERT_EQ(log.events.size(), 1u);
    EXPECT_EQ(log.events[0].id, zorvan::um::UM_AMD_RESULT);
    EXPECT_EQ(log.events[0].wParam, 1u);
    EXPECT_EQ(server.amd().state(), AmdIdle);
    ::close(skype);
    server.Destroy();
}

}  // namespace
}  // namespace zorvan::audio
