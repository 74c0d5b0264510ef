#pragma once

#include <QObject>

#include <memory>

#include "audio/record/greeting_recorder.h"

class QAudioSource;
class QIODevice;

namespace zorvan {

// The machine's microphones through Qt Multimedia, captured as 16 kHz mono
// 16-bit samples. Lives on the user-interface thread; the samples arrive
// there as the device delivers them.
class QtCaptureSource final : public QObject, public audio::CaptureSource {
    Q_OBJECT
public:
    explicit QtCaptureSource(QObject* parent = nullptr);
    ~QtCaptureSource() override;

    std::vector<std::string> Devices() override;
    bool Start(std::size_t device, Samples onSamples, std::string* error) override;
    void Stop() override;

private:
    void Drain();

    std::unique_ptr<QAudioSource> source_;
    QIODevice* stream_ = nullptr;
    Samples onSamples_;
    QByteArray pending_;
};

}  // namespace zorvan
