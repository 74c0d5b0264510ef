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

}  // namespace zorvan
