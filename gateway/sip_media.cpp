// A call's media on the stack's thread: RTP in G.711 every 20 ms, paced by
// the stack's clock; received packets through the jitter buffer; 8 <-> 16
// kHz with libsamplerate; DTMF as RFC 4733 telephone events.
#include <algorithm>
#include <cstring>

#include "sip_call.h"

namespace zorvan::gateway {

namespace {

constexpr int kPacketMs = 20;
constexpr std::size_t kNarrowSamples = 160;  // 20 ms at 8 kHz
constexpr std::size_t kWideSamples = 320;    // 20 ms at 16 kHz
constexpr std::size_t kHeadroom = 12;        // the RTP header rtp_send writes in front
constexpr std::uint64_t kMostCatchUp = 10;   // packets made up after a stall
constexpr int kDtmfMs = 120;
constexpr std::size_t kPrebufferPackets = 3;  // 60 ms of the dialer's audio in hand

// Resamples `in` with `state` at `ratio`; appends what comes out.
void Resample(SRC_STATE* state, double ratio, const std::int16_t* in, std::size_t count,
              std::vector<std::int16_t>& out) {
    float input[kWideSamples];
    float output[2 * kWideSamples + 16];
    src_short_to_float_array(in, input, static_cast<int>(count));
    SRC_DATA data{};
    data.data_in = input;
    data.input_frames = static_cast<long>(count);
    data.data_out = output;
    data.output_frames = static_cast<long>(std::size(output));
    data.src_ratio = ratio;
    if (src_process(state, &data) != 0) return;
    const std::size_t made = static_cast<std::size_t>(data.output_frames_gen);
    const std::size_t at = out.size();
    out.resize(at + made);
    src_float_to_short_array(output, out.data() + at, static_cast<int>(made));
}

void OnRtp(const sa*, const rtp_header* header, mbuf* packet, void* arg) {
    SipCall& call = *static_cast<SipCall*>(arg);
    if (header->pt == call.eventType) return;  // the callee's keys: nothing for the dialer
    if (header->pt != 0 && header->pt != 8) return;
    (void)jbuf_put(call.jitter, header, packet);
}

void SendPacket(SipCall& call) {
    const std::uint32_t timestamp = call.timestamp;
    call.timestamp += kNarrowSamples;
    // What the dialer plays, taken every 20 ms whether or not it can go out,
    // so that it stays in time with the call. It arrives over TCP in its
    // own rhythm: a few packets' worth is kept in hand so that a late frame
    // does not cut a gap into the speech; when the dialer stops, what is
    // left goes out and the prebuffer starts again.
    std::int16_t wide[kWideSamples] = {};
    const std::size_t waiting = call.audio->heard.Size();
    if (!call.feeding && waiting >= kPrebufferPackets * kWideSamples) call.feeding = true;
    if (call.feeding) {
        if (waiting < kWideSamples) call.feeding = false;
        call.audio->heard.Pop(wide, kWideSamples);
    }
    if (call.answered) call.audio->sent.Push(wide, kWideSamples);
    Resample(call.down, 0.5, wide, kWideSamples, call.narrow);
    if (!call.haveRemote || call.payloadType < 0) return;
    mbuf* packet = mbuf_alloc(kHeadroom + kNarrowSamples);
    if (packet == nullptr) return;
    packet->pos = packet->end = kHeadroom;
    bool marker = false;
    if (call.events != nullptr && call.eventType >= 0 && telev_poll(call.events, &marker, packet) == 0 &&
        packet->end > kHeadroom) {
        if (marker) call.eventTimestamp = timestamp;
        packet->pos = kHeadroom;
        (void)rtp_send(call.rtp, &call.remote, false, marker, static_cast<std::uint8_t>(call.eventType),
                       call.eventTimestamp, packet);
        mem_deref(packet);
        return;
    }
    packet->pos = packet->end = kHeadroom;
    if (call.narrow.size() < kNarrowSamples) call.narrow.resize(kNarrowSamples, 0);  // the resampler's start
    for (std::size_t i = 0; i < kNarrowSamples; ++i) {
        const std::int16_t sample = call.narrow[i];
        (void)mbuf_write_u8(packet, call.payloadType == 8 ? g711_pcm2alaw(sample) : g711_pcm2ulaw(sample));
    }
    call.narrow.erase(call.narrow.begin(), call.narrow.begin() + kNarrowSamples);
    packet->pos = kHeadroom;
    (void)rtp_send(call.rtp, &call.remote, false, call.firstPacket, static_cast<std::uint8_t>(call.payloadType),
                   timestamp, packet);
    call.firstPacket = false;
    mem_deref(packet);
}

// One packet's time of what the callee says goes to the dialer: from the
// packets the jitter buffer gives out, whatever their length (a peer may
// send 30 ms packets), or silence when none is there.
void PlayPacket(SipCall& call) {
    while (call.received.size() < kNarrowSamples) {
        rtp_header header{};
        void* memory = nullptr;
        const int err = jbuf_get(call.jitter, &header, &memory);
        if ((err != 0 && err != EAGAIN) || memory == nullptr) break;
        auto* packet = static_cast<mbuf*>(memory);
        const std::size_t count = mbuf_get_left(packet);
        const std::uint8_t* bytes = mbuf_buf(packet);
        for (std::size_t i = 0; i < count; ++i) {
            call.received.push_back(header.pt == 8 ? g711_alaw2pcm(bytes[i]) : g711_ulaw2pcm(bytes[i]));
        }
        mem_deref(memory);
    }
    std::int16_t narrow[kNarrowSamples] = {};
    const std::size_t have = std::min(call.received.size(), kNarrowSamples);
    std::copy_n(call.received.begin(), have, narrow);
    call.received.erase(call.received.begin(), call.received.begin() + static_cast<std::ptrdiff_t>(have));
    if (!call.answered || call.held) return;
    std::vector<std::int16_t> wide;
    wide.reserve(kWideSamples + 8);
    Resample(call.up, 2.0, narrow, kNarrowSamples, wide);
    call.audio->voice.Push(wide.data(), wide.size());
}

void OnTick(void* arg) {
    SipCall& call = *static_cast<SipCall*>(arg);
    const std::uint64_t now = tmr_jiffies();
    const std::uint64_t due = (now - call.mediaStart) / kPacketMs + 1;
    if (due > call.ticks + kMostCatchUp) call.ticks = due - kMostCatchUp;
    for (; call.ticks < due; ++call.ticks) {
        SendPacket(call);
        PlayPacket(call);
    }
    const std::uint64_t next = call.mediaStart + call.ticks * kPacketMs;
    tmr_start(&call.tick, next > now ? next - now : 1, OnTick, &call);
}

void OnDtmfEnd(void* arg) {
    SipCall& call = *static_cast<SipCall*>(arg);
    (void)telev_send(call.events, call.eventCode, true);
}

}  // namespace

bool StartMedia(SipCall& call, const sa& address, const std::vector<std::string>& codecs, std::string& error) {
    int err = rtp_listen(&call.rtp, IPPROTO_UDP, &address, 10000, 60000, false, OnRtp, nullptr, &call);
    if (err != 0) {
        error = std::string("cannot open an RTP port: ") + std::strerror(err);
        return false;
    }
    err = sdp_session_alloc(&call.sdp, &address);
    if (err == 0) err = sdp_media_add(&call.media, call.sdp, "audio", sa_port(rtp_local(call.rtp)), "RTP/AVP");
    for (const std::string& codec : codecs) {
        if (err != 0) break;
        const bool alaw = codec == "PCMA";
        err = sdp_format_add(nullptr, call.media, false, alaw ? "8" : "0", alaw ? "PCMA" : "PCMU", 8000, 1, nullptr,
                             nullptr, nullptr, false, nullptr);
    }
    if (err == 0) {
        err = sdp_format_add(nullptr, call.media, false, "101", "telephone-event", 8000, 1, nullptr, nullptr, nullptr,
                             false, "0-15");
    }
    if (err == 0) err = sdp_media_set_lattr(call.media, true, "ptime", "%d", kPacketMs);
    if (err == 0) err = jbuf_alloc(&call.jitter, 2, 10);
    if (err == 0) err = telev_alloc(&call.events, kPacketMs);
    if (err == 0) err = telev_set_srate(call.events, 8000);
    if (err != 0) {
        error = std::string("cannot set up the call's media: ") + std::strerror(err);
        return false;
    }
    int srcError = 0;
    call.up = src_new(SRC_SINC_FASTEST, 1, &srcError);
    call.down = src_new(SRC_SINC_FASTEST, 1, &srcError);
    if (call.up == nullptr || call.down == nullptr) {
        error = std::string("cannot make a resampler: ") + src_strerror(srcError);
        return false;
    }
    tmr_init(&call.tick);
    tmr_init(&call.dtmfEnd);
    tmr_init(&call.noResponse);
    return true;
}

bool ApplyRemoteSdp(SipCall& call) {
    int chosen = -1;
    const list* formats = sdp_media_format_lst(call.media, false);
    for (const le* item = list_head(formats); item != nullptr && chosen < 0; item = item->next) {
        const auto* format = static_cast<const sdp_format*>(item->data);
        if (!format->sup) continue;
        if (str_casecmp(format->name, "PCMU") == 0) chosen = 0;
        if (str_casecmp(format->name, "PCMA") == 0) chosen = 8;
    }
    if (chosen < 0) return false;
    call.payloadType = chosen;
    const sdp_format* events = sdp_media_rformat(call.media, "telephone-event");
    call.eventType = events != nullptr ? events->pt : -1;
    const sa* remote = sdp_media_raddr(call.media);
    call.haveRemote = remote != nullptr && sa_isset(remote, SA_ALL);
    if (call.haveRemote) call.remote = *remote;
    return true;
}

void RunMedia(SipCall& call) {
    if (tmr_isrunning(&call.tick)) return;
    call.mediaStart = tmr_jiffies();
    call.ticks = 0;
    tmr_start(&call.tick, kPacketMs, OnTick, &call);
}

bool SendDtmfEvent(SipCall& call, char key) {
    if (call.eventType < 0 || !call.haveRemote) return false;
    call.eventCode = telev_digit2code(key);
    if (telev_send(call.events, call.eventCode, false) != 0) return false;
    tmr_start(&call.dtmfEnd, kDtmfMs, OnDtmfEnd, &call);
    return true;
}

}  // namespace zorvan::gateway
