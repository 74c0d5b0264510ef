#include "audio/audio_stream_server.h"

#include <arpa/inet.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "audio/stream_format.h"
#include "platform/prompts.h"

namespace zorvan::audio {

namespace {
std::mutex gInstanceMutex;
std::unique_ptr<AudioStreamServer> gInstance;
}  // namespace

AudioStreamServer* AudioStreamServer::Instance() {
    std::lock_guard lock(gInstanceMutex);
    return gInstance.get();
}

AudioStreamServer::Ports AudioStreamServer::PortsFromEnvironment(Ports fallback) {
    const char* text = std::getenv("ZORVAN_AUDIO_PORTS");
    if (text == nullptr || *text == '\0') return fallback;
    unsigned input = 0;
    unsigned output = 0;
    char end = 0;
    if (std::sscanf(text, "%u,%u%c", &input, &output, &end) != 2 || input > 65535 || output > 65535) {
        std::fprintf(stderr, "ZORVAN_AUDIO_PORTS=\"%s\" is not INPUT,OUTPUT; using %u,%u\n", text,
                     static_cast<unsigned>(fallback.input), static_cast<unsigned>(fallback.output));
        return fallback;
    }
    return Ports{static_cast<std::uint16_t>(input), static_cast<std::uint16_t>(output)};
}

AudioStreamServer& AudioStreamServer::Create(Prompts& prompts, Ports ports) {
    std::lock_guard lock(gInstanceMutex);
    if (!gInstance) gInstance = std::make_unique<AudioStreamServer>(prompts, ports);
    return *gInstance;
}

void AudioStreamServer::DestroyInstance() {
    std::unique_ptr<AudioStreamServer> doomed;
    {
        std::lock_guard lock(gInstanceMutex);
        doomed = std::move(gInstance);
    }
}

AudioStreamServer::AudioStreamServer(Prompts& prompts, Ports ports) : prompts_(prompts) {
    ::inet_pton(AF_INET, "127.0.0.1", &address_);  // never reachable from another machine
    input_.number = ports.input;
    output_.number = ports.output;
    output_.isOutput = true;
}

AudioStreamServer::~AudioStreamServer() { Destroy(); }

bool AudioStreamServer::OpenInputPort() { return OpenPort(input_); }
bool AudioStreamServer::OpenOutputPort() { return OpenPort(output_); }

// (Re)opens a port: the old stream thread is ended and joined before the new
// listener exists, so it can never read the re-opened server.
bool AudioStreamServer::OpenPort(Port& port) {
    std::lock_guard lock(openMutex_);
    if (port.server.count() > 0) {
        if (!port.running) return false;
        port.server.CloseAll();
        if (port.server.count() > 0) return false;
    }
    if (port.thread.joinable()) port.thread.join();
    port.running = false;
    if (port.server.Listen(address_, port.number) != sockerr::kOk) {
        prompts_.messageBox("Zorvan",
                            "Create socket failed! Please make sure your firewall/anti-virus software does NOT block "
                            "the port '" + std::to_string(port.number) + "'!",
                            PromptIcon::Information, PromptButtons::Ok);
        port.server.CloseAll();
        return false;
    }
    // A port asked for as 0 keeps the one it got, so a restart of the
    // server listens where the routing commands point.
    if (port.number == 0) port.number = port.server.localPort();
    port.filled = 0;
    port.running = true;
    port.thread = std::thread([this, &port] { StreamThread(port); });
    return true;
}

void AudioStreamServer::CloseInputPortClients() { input_.server.CloseAll(); }

bool AudioStreamServer::SendToInputPort(const std::uint8_t* data, std::size_t length) {
    int socket = -1;
    if (!input_.server.FirstConnectedSocket(socket)) return false;
    switch (input_.server.Send(socket, data, length)) {
        case sockerr::kOk:
            return true;
        case sockerr::kWouldBlock:  // the rest leaves on the write event
            std::this_thread::sleep_for(std::chrono::milliseconds(8));
            return true;
        case sockerr::kIoPending:  // the previous chunk is still on its way: this one is dropped
            std::this_thread::sleep_for(std::chrono::milliseconds(8));
            return false;
        default:
            return false;
    }
}

bool AudioStreamServer::StartRecording(const std::string& pathWithoutExtension) {
    if (recording_ == RecRecording) return false;
    const bool started = recorder_ != nullptr && recorder_->Start(pathWithoutExtension + ".mp3");
    recording_ = RecRecording;
    return started;
}

void AudioStreamServer::StopRecording() {
    if (recorder_ != nullptr) recorder_->Stop();
    recording_ = RecStopped;
}

void AudioStreamServer::Destroy() {
    std::lock_guard lock(openMutex_);
    for (Port* port : {&input_, &output_}) {
        port->server.CloseAll();
        if (port->thread.joinable()) port->thread.join();
        port->running = false;
    }
}

// The client's writes reach us as the socket delivers them: 20 ms frames,
// pieces of frames, several frames at once. Detection and recording see
// the stream as the 10 ms chunks it is made of, whatever the reads were.
void AudioStreamServer::HandleRead(Port& port, std::uint8_t* buffer, std::size_t bytes) {
    if (port.isOutput && tap_) tap_(buffer, bytes);
    for (std::size_t at = 0; at < bytes;) {
        const std::size_t take = std::min(kChunkBytes - port.filled, bytes - at);
        std::memcpy(port.chunk.data() + port.filled, buffer + at, take);
        port.filled += take;
        at += take;
        if (port.filled < kChunkBytes) break;
        port.filled = 0;
        HandleChunk(port, port.chunk.data());
    }
}

void AudioStreamServer::HandleChunk(Port& port, std::uint8_t* chunk) {
    if (port.isOutput) {
        amd_.Step(chunk);
        if (detector_) detector_(chunk);
    }
    if (recording_ != RecRecording || recorder_ == nullptr) return;
    const CBuffer view(chunk, static_cast<std::int32_t>(kChunkBytes));
    if (port.isOutput) {
        recorder_->PushOutput(view);
    } else {
        recorder_->PushInput(view);
    }
}

void AudioStreamServer::StreamThread(Port& port) {
    std::uint8_t buffer[1024];
    for (;;) {
        EventSocketServer::PollResult result;
        const int code = port.server.Poll(result, buffer);
        if ((result.networkEvents & netev::kClose) != 0) {
            port.filled = 0;  // a piece of a chunk from a closed connection is not audio
            if (reroute_) reroute_();
        }
        if ((result.networkEvents & netev::kRead) != 0) HandleRead(port, buffer, result.bytesReceived);
        if (code == sockerr::kOk || code == sockerr::kConnectionAborted || code == sockerr::kConnectionReset ||
            code == sockerr::kConnectionRefused) {
            continue;
        }
        if (port.server.count() > 0) port.server.CloseAll();
        return;
    }
}

}  // namespace zorvan::audio
