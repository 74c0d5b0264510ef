// The stack's thread: libre's loop, the SIP account, and each call's
// signalling. Media is in sip_media.cpp.
#include "sip_stack.h"

#include <cerrno>
#include <cstring>
#include <future>
#include <map>

#include "sip_call.h"
#include "status_map.h"

namespace zorvan::gateway {

namespace {

enum class Op { Dial, Hangup, Hold, Resume, Dtmf, Stop };

struct Command {
    Op op = Op::Stop;
    int call = 0;
    std::string number;
    std::shared_ptr<CallAudio> audio;
    char key = 0;
};

std::string Text(const pl& text) { return std::string(text.p != nullptr ? text.p : "", text.l); }

// A SIP server answers an INVITE at once, if only with 100 Trying; silence
// this long means the domain cannot be reached (SIP's own limit is 32 s).
constexpr std::uint64_t kNoResponseMs = 8000;

}  // namespace

struct SipStack::Impl {
    GatewaySettings settings;
    Sink sink;
    std::thread thread;
    mqueue* commands = nullptr;
    sip* stack = nullptr;
    sipsess_sock* sessions = nullptr;
    dnsc* resolver = nullptr;
    sipreg* registration = nullptr;
    sa address{};  // the SIP address; RTP binds its host
    std::string contactUser;
    std::string route;
    std::map<int, std::unique_ptr<SipCall>> calls;
    tmr exitTimer{};
    bool stopping = false;

    void Run(std::promise<std::string>& started);
    std::string Setup();
    void Teardown();
    void Emit(SipEvent event) {
        if (sink) sink(event);
    }
    void OnCommand(Command& command);
    void Dial(int id, const std::string& number, std::shared_ptr<CallAudio> audio);
    void Hold(SipCall& call, bool held);
    void Drop(int id);
    void Register();
    const char* const* Routes(uint32_t& count) const {
        static thread_local const char* one[1];
        count = route.empty() ? 0 : 1;
        one[0] = route.c_str();
        return route.empty() ? nullptr : one;
    }
};

SipCall::~SipCall() {
    tmr_cancel(&tick);
    tmr_cancel(&dtmfEnd);
    tmr_cancel(&noResponse);
    // Dropping the session ends it on the wire: CANCEL before the answer,
    // BYE after.
    sess = static_cast<sipsess*>(mem_deref(sess));
    rtp = static_cast<struct rtp_sock*>(mem_deref(rtp));
    jitter = static_cast<jbuf*>(mem_deref(jitter));
    events = static_cast<telev*>(mem_deref(events));
    media = nullptr;
    sdp = static_cast<sdp_session*>(mem_deref(sdp));
    if (up != nullptr) src_delete(up);
    if (down != nullptr) src_delete(down);
}

namespace {

SipCall& CallOf(void* arg) { return *static_cast<SipCall*>(arg); }

int OnAuth(char** username, char** password, const char* /*realm*/, void* arg) {
    const auto& settings = static_cast<SipStack::Impl*>(arg)->settings;
    if (settings.username.empty()) return EAUTH;
    int err = str_dup(username, settings.username.c_str());
    if (err == 0) err = str_dup(password, settings.password.c_str());
    return err;
}

void OnProgress(const sip_msg* msg, void* arg) {
    SipCall& call = CallOf(arg);
    tmr_cancel(&call.noResponse);
    SipEvent event;
    event.call = call.id;
    event.code = msg->scode;
    if (msg->scode == 183) {
        event.kind = SipEvent::Kind::EarlyMedia;
    } else if (msg->scode >= 180) {
        event.kind = SipEvent::Kind::Ringing;
    } else {
        return;  // 100 Trying: the request is on its way
    }
    call.stack->Emit(event);
}

int OnAnswer(const sip_msg* msg, void* arg) {
    SipCall& call = CallOf(arg);
    tmr_cancel(&call.noResponse);
    const int err = sdp_decode(call.sdp, msg->mb, false);
    if (err != 0) return err;
    if (!ApplyRemoteSdp(call)) return EPROTO;
    RunMedia(call);
    return 0;
}

int OnOffer(mbuf** description, const sip_msg* msg, void* arg) {
    SipCall& call = CallOf(arg);
    if (mbuf_get_left(msg->mb) > 0) {
        const int err = sdp_decode(call.sdp, msg->mb, true);
        if (err != 0) return err;
        if (!ApplyRemoteSdp(call)) return EPROTO;
    }
    return sdp_encode(description, call.sdp, mbuf_get_left(msg->mb) == 0);
}

void OnEstablished(const sip_msg* msg, void* arg) {
    SipCall& call = CallOf(arg);
    tmr_cancel(&call.noResponse);
    call.answered = true;
    RunMedia(call);
    SipEvent event;
    event.kind = SipEvent::Kind::Answered;
    event.call = call.id;
    event.code = msg != nullptr ? msg->scode : 200;
    call.stack->Emit(event);
}

void OnInfo(sip* stack, const sip_msg* msg, void*) { (void)sip_reply(stack, msg, 200, "OK"); }

void OnClose(int err, const sip_msg* msg, void* arg) {
    SipCall& call = CallOf(arg);
    const SipEvent event = EndedEvent(call.id, err, msg != nullptr, msg != nullptr && msg->req,
                                      msg != nullptr ? msg->scode : 0, msg != nullptr ? Text(msg->reason) : "");
    SipStack::Impl* stack = call.stack;
    const int id = call.id;
    stack->Emit(event);
    stack->Drop(id);
}

// The dialer takes no calls: an incoming INVITE is turned away.
void OnIncoming(const sip_msg* msg, void* arg) {
    auto* stack = static_cast<SipStack::Impl*>(arg);
    (void)sip_treply(nullptr, stack->stack, msg, 486, "Busy Here");
}

void OnNoResponse(void* arg) {
    SipCall& call = CallOf(arg);
    SipEvent event;
    event.kind = SipEvent::Kind::Ended;
    event.call = call.id;
    event.error = ETIMEDOUT;
    event.reason = "no response within " + std::to_string(kNoResponseMs / 1000) + " s";
    SipStack::Impl* stack = call.stack;
    stack->Emit(event);
    stack->Drop(call.id);
}


void OnRegistered(int err, const sip_msg* msg, void* arg) {
    auto* stack = static_cast<SipStack::Impl*>(arg);
    SipEvent event;
    event.kind = SipEvent::Kind::RegistrationFailed;
    if (err != 0) {
        event.error = err;
        event.reason = std::strerror(err);
    } else if (msg->scode >= 200 && msg->scode < 300) {
        event.kind = SipEvent::Kind::Registered;
        event.code = msg->scode;
    } else if (msg->scode >= 300) {
        event.code = msg->scode;
        event.reason = Text(msg->reason);
    } else {
        return;
    }
    stack->Emit(event);
}

void OnDtmfInfoReply(int, const sip_msg*, void*) {}

void OnCommandMessage(int, void* data, void* arg) {
    std::unique_ptr<Command> command(static_cast<Command*>(data));
    static_cast<SipStack::Impl*>(arg)->OnCommand(*command);
}

void OnSipClosed(void*) { re_cancel(); }
void OnExitTimeout(void*) { re_cancel(); }

}  // namespace

std::string SipStack::Impl::Setup() {
    int err = mqueue_alloc(&commands, OnCommandMessage, this);
    if (err != 0) return std::string("cannot make the command queue: ") + std::strerror(err);
    // Names in the settings need the system's resolvers; addresses do not.
    sa servers[4];
    uint32_t count = 4;
    char domain[256] = "";
    if (dns_srv_get(domain, sizeof domain, servers, &count) == 0 && count > 0) {
        (void)dnsc_alloc(&resolver, nullptr, servers, count);
    }
    err = sip_alloc(&stack, resolver, 32, 32, 32, "Zorvan SIP gateway", OnSipClosed, this);
    if (err != 0) return std::string("cannot start SIP: ") + std::strerror(err);
    if (sa_set_str(&address, settings.listen.host.c_str(), static_cast<uint16_t>(settings.listen.port)) != 0) {
        return "listen: \"" + settings.listen.host + "\" is not an address of this computer (give an IP address)";
    }
    err = sip_transp_add(stack, SIP_TRANSP_UDP, &address);
    if (err != 0) {
        return "cannot listen for SIP on " + FormatHostPort(settings.listen) + ": " + std::strerror(err);
    }
    err = sipsess_listen(&sessions, stack, 32, OnIncoming, this);
    if (err != 0) return std::string("cannot take SIP sessions: ") + std::strerror(err);
    contactUser = settings.username.empty() ? std::string("zorvan") : settings.username;
    if (settings.outboundProxy) route = "sip:" + FormatHostPort(*settings.outboundProxy) + ";lr";
    if (settings.registrar) Register();
    return {};
}

void SipStack::Impl::Register() {
    const std::string registrar = "sip:" + FormatHostPort(*settings.registrar);
    const std::string account = settings.FromUri();
    uint32_t routeCount = 0;
    const char* const* routes = Routes(routeCount);
    const int err = sipreg_register(&registration, stack, registrar.c_str(), account.c_str(), nullptr,
                                    account.c_str(), 600, contactUser.c_str(), const_cast<const char**>(routes),
                                    routeCount, 0, OnAuth, this, false, OnRegistered, this, nullptr, "%s", "");
    if (err != 0) {
        SipEvent event;
        event.kind = SipEvent::Kind::RegistrationFailed;
        event.error = err;
        event.reason = std::strerror(err);
        Emit(event);
    }
}

void SipStack::Impl::Teardown() {
    calls.clear();
    registration = static_cast<sipreg*>(mem_deref(registration));
    sessions = static_cast<sipsess_sock*>(mem_deref(sessions));
    stack = static_cast<sip*>(mem_deref(stack));
    resolver = static_cast<dnsc*>(mem_deref(resolver));
    commands = static_cast<mqueue*>(mem_deref(commands));
}

void SipStack::Impl::Run(std::promise<std::string>& started) {
    const int err = libre_init();
    if (err != 0) {
        started.set_value(std::string("cannot start libre: ") + std::strerror(err));
        return;
    }
    const std::string error = Setup();
    started.set_value(error);
    if (error.empty()) (void)re_main(nullptr);
    Teardown();
    tmr_cancel(&exitTimer);
    libre_close();
}

void SipStack::Impl::OnCommand(Command& command) {
    if (stopping) return;
    if (command.op == Op::Stop) {
        stopping = true;
        calls.clear();  // CANCEL or BYE for each
        registration = static_cast<sipreg*>(mem_deref(registration));
        // Let the goodbyes go out, then stop the loop.
        sip_close(stack, false);
        tmr_start(&exitTimer, 1500, OnExitTimeout, this);
        return;
    }
    if (command.op == Op::Dial) {
        Dial(command.call, command.number, std::move(command.audio));
        return;
    }
    const auto it = calls.find(command.call);
    if (it == calls.end()) return;
    SipCall& call = *it->second;
    switch (command.op) {
        case Op::Hangup: Drop(command.call); break;
        case Op::Hold: Hold(call, true); break;
        case Op::Resume: Hold(call, false); break;
        case Op::Dtmf:
            if (SendDtmfEvent(call, command.key)) {
                Emit(SipEvent{SipEvent::Kind::DtmfSent, call.id, 0, 0, false, "rtp"});
            } else {
                // No telephone events on the other side: SIP INFO.
                mbuf* body = mbuf_alloc(64);
                (void)mbuf_printf(body, "Signal=%c\r\nDuration=160\r\n", command.key);
                mbuf_set_pos(body, 0);
                (void)sipsess_info(call.sess, "application/dtmf-relay", body, OnDtmfInfoReply, nullptr);
                mem_deref(body);
                Emit(SipEvent{SipEvent::Kind::DtmfSent, call.id, 0, 0, false, "info"});
            }
            break;
        case Op::Dial:
        case Op::Stop: break;
    }
}

void SipStack::Impl::Dial(int id, const std::string& number, std::shared_ptr<CallAudio> audio) {
    auto owned = std::make_unique<SipCall>();
    SipCall& call = *owned;
    call.stack = this;
    call.id = id;
    call.audio = std::move(audio);
    SipEvent failed;
    failed.kind = SipEvent::Kind::Ended;
    failed.call = id;
    std::string error;
    sa mediaAddress = address;
    sa_set_port(&mediaAddress, 0);
    if (!StartMedia(call, mediaAddress, settings.codecs, error)) {
        failed.error = EINVAL;
        failed.reason = error;
        Emit(failed);
        return;
    }
    mbuf* offer = nullptr;
    int err = sdp_encode(&offer, call.sdp, true);
    const std::string to = settings.RequestUri(number);
    const std::string from = settings.FromUri();
    uint32_t routeCount = 0;
    const char* const* routes = Routes(routeCount);
    if (err == 0) {
        err = sipsess_connect(&call.sess, sessions, to.c_str(), nullptr, from.c_str(), contactUser.c_str(),
                              const_cast<const char**>(routes), routeCount, "application/sdp", offer, OnAuth, this,
                              false, OnOffer, OnAnswer, OnProgress, OnEstablished, OnInfo, nullptr, OnClose, &call,
                              "%s", "");
    }
    mem_deref(offer);
    if (err != 0) {
        failed.error = err;
        failed.reason = std::strerror(err);
        Emit(failed);
        return;
    }
    tmr_start(&call.noResponse, kNoResponseMs, OnNoResponse, &call);
    calls[id] = std::move(owned);
}

void SipStack::Impl::Hold(SipCall& call, bool held) {
    if (call.sess == nullptr || !call.answered || call.held == held) return;
    call.held = held;
    sdp_media_set_ldir(call.media, held ? SDP_SENDONLY : SDP_SENDRECV);
    mbuf* offer = nullptr;
    if (sdp_encode(&offer, call.sdp, true) == 0) (void)sipsess_modify(call.sess, offer);
    mem_deref(offer);
}

void SipStack::Impl::Drop(int id) { calls.erase(id); }

SipStack::SipStack(GatewaySettings settings, Sink sink) : impl_(std::make_unique<Impl>()) {
    impl_->settings = std::move(settings);
    impl_->sink = std::move(sink);
}

SipStack::~SipStack() { Stop(); }

bool SipStack::Start(std::string& error) {
    std::promise<std::string> started;
    std::future<std::string> result = started.get_future();
    impl_->thread = std::thread([this, &started] { impl_->Run(started); });
    error = result.get();
    if (!error.empty()) {
        impl_->thread.join();
        return false;
    }
    return true;
}

void SipStack::Stop() {
    if (!impl_->thread.joinable()) return;
    auto* command = new Command{Op::Stop, 0, {}, nullptr, 0};
    if (mqueue_push(impl_->commands, 0, command) != 0) delete command;
    impl_->thread.join();
}

namespace {

void Push(SipStack::Impl& impl, Command* command) {
    if (!impl.thread.joinable() || impl.commands == nullptr || mqueue_push(impl.commands, 0, command) != 0) {
        delete command;
    }
}

}  // namespace

void SipStack::Dial(int call, const std::string& number, std::shared_ptr<CallAudio> audio) {
    Push(*impl_, new Command{Op::Dial, call, number, std::move(audio), 0});
}
void SipStack::Hangup(int call) { Push(*impl_, new Command{Op::Hangup, call, {}, nullptr, 0}); }
void SipStack::Hold(int call, bool held) {
    Push(*impl_, new Command{held ? Op::Hold : Op::Resume, call, {}, nullptr, 0});
}
void SipStack::SendDtmf(int call, char key) { Push(*impl_, new Command{Op::Dtmf, call, {}, nullptr, key}); }

}  // namespace zorvan::gateway
