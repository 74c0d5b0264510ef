#include "audio/record/call_recorder.h"

#include <cerrno>
#include <cstring>

#include "audio/stream_format.h"
#include "platform/event_loop.h"
#include "platform/prompts.h"
#include "platform/um_events.h"

namespace zorvan::audio {

bool CallRecorder::Side::Empty() const {
    std::lock_guard guard(lock);
    return queue.empty();
}

CBuffer* CallRecorder::Side::Take() {
    std::lock_guard guard(lock);
    if (queue.empty()) return nullptr;
    CBuffer* front = queue.front();
    queue.pop_front();
    return front;
}

void CallRecorder::Side::Give(CBuffer* buffer) {
    std::lock_guard guard(lock);
    pool.Release(buffer);
}

void CallRecorder::Side::Clear() {
    std::lock_guard guard(lock);
    for (CBuffer* buffer : queue) pool.Release(buffer);
    queue.clear();
}

CallRecorder::CallRecorder(EventLoop& loop, Prompts& prompts) : loop_(loop), prompts_(prompts), mp3_(prompts) {}

CallRecorder::~CallRecorder() { Stop(); }

bool CallRecorder::Start(const std::string& fileName) {
    if (active_) return false;
    if (!mp3_.Open(fileName)) return false;
    return StartWith(mp3_);
}

bool CallRecorder::StartWith(IWriteToFile& writer) {
    if (active_) return false;
    if (writerThread_.joinable()) writerThread_.join();
    writer_ = &writer;
    failed_ = false;
    active_ = true;
    writerDone_ = false;
    writerThread_ = loop_.spawn([this] { WriterThread(); });
    return true;
}

void CallRecorder::Stop() {
    if (!active_) return;
    active_ = false;
    while (!writerDone_) loop_.pumpWait(5);
    if (writerThread_.joinable()) writerThread_.join();
    // A chunk that came in while recording ended belongs to no recording.
    input_.Clear();
    output_.Clear();
    if (writer_ != nullptr && !writer_->Close() && !failed_) {
        failed_ = true;
        ReportFailure(writer_->lastError());
    }
    writer_ = nullptr;
}

bool CallRecorder::Push(Side& side, const CBuffer& chunk) {
    if (chunk.size != static_cast<std::int32_t>(kChunkBytes) || chunk.data == nullptr) return false;
    if (!active_ || failed_) return true;
    std::lock_guard guard(side.lock);
    CBuffer* buffer = side.pool.Acquire();
    if (buffer == nullptr) return false;  // out of memory: the chunk is dropped
    std::memcpy(buffer->data, chunk.data, kChunkBytes);
    side.queue.push_back(buffer);
    return true;
}

bool CallRecorder::PushInput(const CBuffer& chunk) { return Push(input_, chunk); }
bool CallRecorder::PushOutput(const CBuffer& chunk) { return Push(output_, chunk); }

std::size_t CallRecorder::queued() const {
    std::size_t n = 0;
    for (const Side* side : {&input_, &output_}) {
        std::lock_guard guard(side->lock);
        n += side->queue.size();
    }
    return n;
}

void CallRecorder::WriterThread() {
    while (!input_.Empty() || !output_.Empty() || active_) {
        if (active_ && (input_.Empty() || output_.Empty())) {
            // Wait for the late side, about 50 ms a round.
            loop_.sleep(10, nullptr);
            for (int i = 0; i < 4 && input_.Empty(); ++i) loop_.sleep(10, nullptr);
            for (int i = 0; i < 4 && output_.Empty(); ++i) loop_.sleep(10, nullptr);
            continue;
        }
        CBuffer* in = input_.Take();
        CBuffer* out = output_.Take();
        if (in != nullptr && out != nullptr) {
            std::uint8_t mixed[kChunkBytes];
            const CBuffer mix(mixed, static_cast<std::int32_t>(kChunkBytes));
            {
                for (std::size_t i = 0; i < kChunkSamples; ++i) {
                    std::int16_t a = 0;
                    std::int16_t b = 0;
                    std::memcpy(&a, in->data + 2 * i, 2);
                    std::memcpy(&b, out->data + 2 * i, 2);
                    int sum = a + b;
                    if (sum > 32767) sum = 32767;
                    if (sum < -32768) sum = -32768;
                    const auto sample = static_cast<std::int16_t>(sum);
                    std::memcpy(mixed + 2 * i, &sample, 2);
                }
                Write(mix);
            }
        } else if (in != nullptr) {
            Write(*in);
        } else if (out != nullptr) {
            Write(*out);
        }
        if (in != nullptr) input_.Give(in);
        if (out != nullptr) output_.Give(out);
        if (failed_) break;
    }
    if (failed_) {
        input_.Clear();
        output_.Clear();
    }
    writerDone_ = true;
}

bool CallRecorder::Write(const CBuffer& chunk) {
    if (writer_->Write(chunk)) return true;
    // A file that cannot take more (a full disk, a size limit) is not
    // written to again: the user is told once, the call goes on.
    failed_ = true;
    ReportFailure(writer_->lastError());
    return false;
}

void CallRecorder::ReportFailure(int error) {
    prompts_.messageBox("Zorvan Create Mp3 File Failed!", std::strerror(error != 0 ? error : EIO), PromptIcon::Error,
                        PromptButtons::Ok);
    if (notify_ != kNoTarget) loop_.post(notify_, Event{um::UM_STOP_RECORDING, 0, 0});
}

}  // namespace zorvan::audio
