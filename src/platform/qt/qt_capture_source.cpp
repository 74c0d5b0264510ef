#include "platform/qt/qt_capture_source.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSource>
#include <QMediaDevices>

namespace zorvan {

namespace {
QAudioFormat StreamFormat() {
    QAudioFormat format;
    format.setSampleRate(16000);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}
}  // namespace

QtCaptureSource::QtCaptureSource(QObject* parent) : QObject(parent) {}

QtCaptureSource::~QtCaptureSource() { Stop(); }

std::vector<std::string> QtCaptureSource::Devices() {
    std::vector<std::string> names;
    for (const QAudioDevice& device : QMediaDevices::audioInputs()) names.push_back(device.description().toStdString());
    return names;
}

bool QtCaptureSource::Start(std::size_t device, Samples onSamples, std::string* error) {
    Stop();
    const QList<QAudioDevice> devices = QMediaDevices::audioInputs();
    if (device >= static_cast<std::size_t>(devices.size())) {
        if (error != nullptr) *error = "The microphone is no longer there.";
        return false;
    }
    const QAudioDevice& input = devices[static_cast<qsizetype>(device)];
    const QAudioFormat format = StreamFormat();
    if (!input.isFormatSupported(format)) {
        if (error != nullptr) *error = "The microphone cannot record 16 kHz mono 16-bit sound.";
        return false;
    }
    source_ = std::make_unique<QAudioSource>(input, format);
    onSamples_ = std::move(onSamples);
    pending_.clear();
    stream_ = source_->start();
    if (stream_ == nullptr || source_->error() != QAudio::NoError) {
        if (error != nullptr) *error = "The microphone could not be opened for recording.";
        source_.reset();
        stream_ = nullptr;
        return false;
    }
    connect(stream_, &QIODevice::readyRead, this, &QtCaptureSource::Drain);
    return true;
}

void QtCaptureSource::Drain() {
    if (stream_ == nullptr) return;
    pending_.append(stream_->readAll());
    const qsizetype whole = pending_.size() / 2 * 2;
    if (whole > 0 && onSamples_) {
        onSamples_(reinterpret_cast<const std::int16_t*>(pending_.constData()), static_cast<std::size_t>(whole / 2));
        pending_.remove(0, whole);
    }
}

void QtCaptureSource::Stop() {
    if (!source_) return;
    Drain();
    source_->stop();
    stream_ = nullptr;
    source_.reset();
    onSamples_ = nullptr;
}

}  // namespace zorvan
