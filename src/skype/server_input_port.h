#pragma once

#include "audio/audio_stream_server.h"
#include "skype/audio_routing.h"

namespace zorvan {

// The routing's hold on the input port: the process's audio server.
class ServerInputPort final : public InputPortControl {
public:
    bool HasSockets() override {
        auto* server = audio::AudioStreamServer::Instance();
        return server != nullptr && server->InputPortHasSockets();
    }
    void CloseClients() override {
        if (auto* server = audio::AudioStreamServer::Instance()) server->CloseInputPortClients();
    }
    bool Open() override {
        auto* server = audio::AudioStreamServer::Instance();
        return server != nullptr && server->OpenInputPort();
    }
};

// Where greetings go: the process's audio server, whenever it exists.
class ServerGreetingSink final : public audio::InputPortSink {
public:
    bool SendToInputPort(const std::uint8_t* data, std::size_t length) override {
        auto* server = audio::AudioStreamServer::Instance();
        return server != nullptr && server->SendToInputPort(data, length);
    }
    // The client has connected to the greeting port.
    static bool Ready() {
        auto* server = audio::AudioStreamServer::Instance();
        int socket = -1;
        return server != nullptr && server->inputServer().FirstConnectedSocket(socket);
    }
};

}  // namespace zorvan
