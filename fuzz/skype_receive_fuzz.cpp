// Fuzz target: whatever bytes the Skype client's side sends must be taken
// apart safely by the receive path and the notification parser.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/virtual_event_loop.h"
#include "skype/skype_connector.h"

namespace {

class NullTransport final : public zorvan::SkypeTransport {
public:
    bool Open(zorvan::SkypeTransportListener&) override { return true; }
    void Close() override {}
    void BroadcastDiscover() override {}
    bool CopyData(const std::string&, std::string_view) override { return true; }
};

struct Sink final : zorvan::EventHandler {
    std::size_t events = 0;
    void OnEvent(const zorvan::Event&) override { ++events; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zorvan::VirtualEventLoop loop;
    NullTransport transport;
    Sink sink;
    zorvan::ScopedTarget target(loop, sink);
    zorvan::SkypeConnector connector(loop, transport);
    connector.Attach(target.id());
    connector.OnAttachResponse("skype", 0);
    // Each line is one text, as the client sends them one at a time.
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    while (start <= input.size()) {
        const std::size_t end = std::min(input.find('\n', start), input.size());
        connector.OnCopyData("skype", input.substr(start, end - start));
        start = end + 1;
    }
    loop.runPending();
    connector.Shutdown();
    return 0;
}
