#pragma once

#include <cstddef>

namespace zorvan::audio {

// The call audio on the local ports: raw PCM, 16 000 samples a second,
// 16-bit signed little-endian, one channel, moved in 10 ms chunks.
inline constexpr int kSampleRate = 16000;
inline constexpr std::size_t kChunkBytes = 320;
inline constexpr std::size_t kChunkSamples = kChunkBytes / 2;

inline constexpr unsigned short kInputPort = 56127;   // greeting out, microphone copy in
inline constexpr unsigned short kOutputPort = 56126;  // the remote party's voice in

// Socket result codes, with the numbers callers compare against.
namespace sockerr {
inline constexpr int kOk = 0;
inline constexpr int kWouldBlock = 10035;
inline constexpr int kConnectionAborted = 10053;
inline constexpr int kConnectionReset = 10054;
inline constexpr int kAlreadyConnected = 10056;  // Listen on a server that holds sockets
inline constexpr int kNotConnected = 10057;
inline constexpr int kConnectionRefused = 10061;
inline constexpr int kIoPending = 997;  // a send is still pending on that socket
inline constexpr int kInvalidParameter = 87;
}  // namespace sockerr

// Network event bits reported by a poll.
namespace netev {
inline constexpr int kRead = 0x01;
inline constexpr int kWrite = 0x02;
inline constexpr int kAccept = 0x08;
inline constexpr int kConnect = 0x10;
inline constexpr int kClose = 0x20;
}  // namespace netev

}  // namespace zorvan::audio
