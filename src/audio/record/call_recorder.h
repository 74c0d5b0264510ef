#pragma once

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "audio/audio_stream_server.h"
#include "audio/buffer.h"
#include "audio/record/mp3_file.h"
#include "platform/event.h"

namespace zorvan {
class EventLoop;
class Prompts;
}  // namespace zorvan

namespace zorvan::audio {

// Records a call: the stream threads queue both directions' chunks from
// pools, a writer thread pairs them in order, mixes each pair with clipping
// and hands the mix to the file. While one side is late the writer waits;
// after Stop whatever is left on either side is written unmixed.
class CallRecorder final : public ChunkRecorder {
public:
    CallRecorder(EventLoop& loop, Prompts& prompts);
    ~CallRecorder() override;
    CallRecorder(const CallRecorder&) = delete;
    CallRecorder& operator=(const CallRecorder&) = delete;

    // Main dialog thread.
    bool Start(const std::string& fileName) override;
    // Records into any writer (the MP3 file in the program).
    bool StartWith(IWriteToFile& writer);
    // Waits for the writer to drain while the thread's events keep flowing.
    void Stop() override;

    // Stream threads: a copy of a 320-byte chunk of either side.
    bool PushInput(const CBuffer& chunk) override;
    bool PushOutput(const CBuffer& chunk) override;

    // Where UM_STOP_RECORDING goes when the file's writes start failing.
    void SetNotifyWindow(TargetId target) { notify_ = target; }
    bool active() const { return active_; }
    // The writes failed (a full disk): the rest of the call is not recorded.
    bool failed() const { return failed_; }
    const CMp3File& mp3() const { return mp3_; }
    std::size_t queued() const;
    const BufferPool& inputPool() const { return input_.pool; }
    const BufferPool& outputPool() const { return output_.pool; }

private:
    struct Side {
        BufferPool pool;
        std::deque<CBuffer*> queue;
        mutable std::mutex lock;  // the queue and the release of its buffers
        bool Empty() const;
        CBuffer* Take();
        void Give(CBuffer* buffer);
        void Clear();
    };

    bool Push(Side& side, const CBuffer& chunk);
    void WriterThread();
    bool Write(const CBuffer& chunk);
    void ReportFailure(int error);

    EventLoop& loop_;
    Prompts& prompts_;
    TargetId notify_ = kNoTarget;
    CMp3File mp3_;
    IWriteToFile* writer_ = nullptr;
    Side input_;
    Side output_;
    std::atomic<bool> active_{false};
    std::atomic<bool> writerDone_{true};
    std::atomic<bool> failed_{false};
    std::thread writerThread_;
};

}  // namespace zorvan::audio
