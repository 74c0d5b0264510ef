#pragma once

#include <QDialog>

#include <string>

#include "audio/record/greeting_recorder.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace zorvan {
class Prompts;
class Shell;
}  // namespace zorvan

namespace zorvan::ui {

// "Record Voice": records a greeting from a microphone into a 16 kHz mono
// 16-bit WAV at the given path. Accepted only when the file exists; with no
// microphone at all it says so and ends as cancelled.
class CDlgRecorder final : public QDialog {
    Q_OBJECT
public:
    CDlgRecorder(std::string path, audio::CaptureSource& source, Prompts& prompts, Shell& shell,
                 QWidget* parent = nullptr);
    ~CDlgRecorder() override;

    // Shows the dialog modally: QDialog::Accepted when a recording is there.
    int Run();
    bool recording() const { return recorder_.recording(); }
    QComboBox* microphones() const { return microphones_; }
    QPushButton* button(const QString& objectName) const;

    // The buttons, as a click does them.
    void ToggleRecording();
    void Play();
    void Apply();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void SetRecordingLook(bool on);

    std::string path_;
    audio::CaptureSource& source_;
    Prompts& prompts_;
    Shell& shell_;
    audio::GreetingRecorder recorder_;
    QComboBox* microphones_ = nullptr;
    QPushButton* record_ = nullptr;
    QPushButton* play_ = nullptr;
    QPushButton* apply_ = nullptr;
    QLineEdit* pathEdit_ = nullptr;
};

}  // namespace zorvan::ui
