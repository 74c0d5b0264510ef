#pragma once

#include <netinet/in.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "audio/amd/answering_machine_detector.h"
#include "audio/buffer.h"
#include "audio/event_socket_server.h"
#include "audio/input_port_sink.h"
#include "platform/event.h"

namespace zorvan {
class EventLoop;
class Prompts;
}  // namespace zorvan

namespace zorvan::audio {

// Whether received chunks go to the call recorder.
enum RecordingState : int { RecRecording = 256, RecStopped = 259, RecIdle = 260 };

// Where the stream threads hand the audio: the recorder takes a copy of
// every 320-byte chunk of both directions while recording.
class ChunkRecorder {
public:
    virtual ~ChunkRecorder() = default;
    virtual bool Start(const std::string& fileName) = 0;
    virtual void Stop() = 0;
    virtual bool PushInput(const CBuffer& chunk) = 0;   // the local microphone copy
    virtual bool PushOutput(const CBuffer& chunk) = 0;  // the remote party's voice
};

// The two local audio ports and their stream threads. The input port
// (56127) sends greeting audio into the call and receives the microphone
// copy; the output port (56126) receives the remote party's voice.
class AudioStreamServer final : public InputPortSink {
public:
    struct Ports {
        std::uint16_t input;
        std::uint16_t output;
    };
    static constexpr Ports kDialerPorts{56127, 56126};
    // The ports from ZORVAN_AUDIO_PORTS ("INPUT,OUTPUT", 0 for any free
    // one), so tests never depend on fixed ports; otherwise the fallback.
    static Ports PortsFromEnvironment(Ports fallback = kDialerPorts);

    explicit AudioStreamServer(Prompts& prompts, Ports ports = kDialerPorts);
    ~AudioStreamServer() override;
    AudioStreamServer(const AudioStreamServer&) = delete;
    AudioStreamServer& operator=(const AudioStreamServer&) = delete;

    static AudioStreamServer* Instance();
    static AudioStreamServer& Create(Prompts& prompts, Ports ports = kDialerPorts);
    static void DestroyInstance();

    // Where the detector's verdicts go.
    void SetNotifyWindow(TargetId target) {
        notify_ = target;
        amd_.SetNotify(loop_, notify_);
    }
    void SetEventLoop(EventLoop* loop) {
        loop_ = loop;
        amd_.SetNotify(loop_, notify_);
    }

    // Answering machine detection over the remote party's voice (main thread).
    std::uint32_t StartDetection() { return amd_.StartDetection(); }
    void DetectionTimeout() { amd_.DetectionTimeout(); }
    void AwaitGreetingEnd() { amd_.AwaitGreetingEnd(); }
    void CancelDetection() { amd_.Cancel(); }
    AnsweringMachineDetector& amd() { return amd_; }
    TargetId notifyWindow() const { return notify_; }

    bool OpenInputPort();
    bool OpenOutputPort();
    void CloseInputPortClients();
    bool InputPortHasSockets() { return input_.server.count() > 0; }
    bool SendToInputPort(const std::uint8_t* data, std::size_t length) override;
    // Closes every socket and ends both stream threads.
    void Destroy();

    // The hooks of the stream threads. Set before the ports open.
    void SetRecorder(ChunkRecorder* recorder) { recorder_ = recorder; }
    // The program's recorder, owned by the server and gone with it.
    void AdoptRecorder(std::unique_ptr<ChunkRecorder> recorder) {
        ownedRecorder_ = std::move(recorder);
        recorder_ = ownedRecorder_.get();
    }
    // Runs on the output thread for every 320-byte chunk of the stream.
    void SetDetectorStep(std::function<void(const std::uint8_t* chunk)> step) { detector_ = std::move(step); }
    // Runs on either thread when the client closes one of its connections.
    void SetRerouteRequest(std::function<void()> reroute) { reroute_ = std::move(reroute); }
    // Sees every read of the output port as it arrived (diagnostics, tests).
    void SetOutputTap(std::function<void(const std::uint8_t*, std::size_t)> tap) { tap_ = std::move(tap); }

    // Main dialog thread. The file is the path with ".mp3"; a second start
    // while recording does nothing. The state is recording even when the
    // file could not be made (the recorder then takes no chunk). True when
    // a recording into that file really started.
    bool StartRecording(const std::string& pathWithoutExtension);
    void StopRecording();

    void SetRecordingState(RecordingState state) { recording_ = state; }
    RecordingState recordingState() const { return recording_; }

    EventSocketServer& inputServer() { return input_.server; }
    EventSocketServer& outputServer() { return output_.server; }
    std::uint16_t inputPort() { return input_.server.localPort(); }
    std::uint16_t outputPort() { return output_.server.localPort(); }

private:
    struct Port {
        EventSocketServer server;
        std::uint16_t number = 0;
        bool isOutput = false;
        std::thread thread;
        std::atomic<bool> running{false};
        // Stream thread only: the chunk being put together from the reads,
        // with two zero bytes behind it for the detector.
        std::array<std::uint8_t, 322> chunk{};
        std::size_t filled = 0;
    };

    bool OpenPort(Port& port);
    void StreamThread(Port& port);
    void HandleRead(Port& port, std::uint8_t* buffer, std::size_t bytes);
    void HandleChunk(Port& port, std::uint8_t* chunk);

    Prompts& prompts_;
    in_addr address_{};
    Port input_;
    Port output_;
    std::mutex openMutex_;
    TargetId notify_ = kNoTarget;
    EventLoop* loop_ = nullptr;
    AnsweringMachineDetector amd_;
    std::atomic<RecordingState> recording_{RecIdle};
    std::unique_ptr<ChunkRecorder> ownedRecorder_;
    ChunkRecorder* recorder_ = nullptr;
    std::function<void(const std::uint8_t*)> detector_;
    std::function<void()> reroute_;
    std::function<void(const std::uint8_t*, std::size_t)> tap_;
};

}  // namespace zorvan::audio
