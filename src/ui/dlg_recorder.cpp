#include "ui/dlg_recorder.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <filesystem>

#include "platform/prompts.h"
#include "platform/shell.h"

namespace zorvan::ui {

namespace {
constexpr char kCaption[] = "Zorvan Dialer";
}

CDlgRecorder::CDlgRecorder(std::string path, audio::CaptureSource& source, Prompts& prompts, Shell& shell,
                           QWidget* parent)
    : QDialog(parent), path_(std::move(path)), source_(source), prompts_(prompts), shell_(shell), recorder_(source) {
    setWindowTitle(QStringLiteral("Record Voice"));
    auto* grid = new QGridLayout(this);
    microphones_ = new QComboBox(this);
    microphones_->setObjectName(QStringLiteral("microphones"));
    record_ = new QPushButton(QStringLiteral("Start Recording"), this);
    record_->setObjectName(QStringLiteral("record"));
    play_ = new QPushButton(QStringLiteral("Play"), this);
    play_->setObjectName(QStringLiteral("play"));
    pathEdit_ = new QLineEdit(QString::fromStdString(path_), this);
    pathEdit_->setReadOnly(true);
    pathEdit_->setMinimumWidth(360);
    apply_ = new QPushButton(QStringLiteral("Apply"), this);
    apply_->setObjectName(QStringLiteral("apply"));
    apply_->setDefault(true);
    grid->addWidget(new QLabel(QStringLiteral("Microphone:"), this), 0, 0);
    grid->addWidget(microphones_, 0, 1);
    grid->addWidget(record_, 0, 2);
    grid->addWidget(play_, 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("File Path:"), this), 1, 0);
    grid->addWidget(pathEdit_, 1, 1, 1, 2);
    grid->addWidget(apply_, 1, 3);
    connect(record_, &QPushButton::clicked, this, &CDlgRecorder::ToggleRecording);
    connect(play_, &QPushButton::clicked, this, &CDlgRecorder::Play);
    connect(apply_, &QPushButton::clicked, this, &CDlgRecorder::Apply);
}

CDlgRecorder::~CDlgRecorder() = default;

QPushButton* CDlgRecorder::button(const QString& objectName) const { return findChild<QPushButton*>(objectName); }

int CDlgRecorder::Run() {
    microphones_->clear();
    for (const std::string& name : source_.Devices()) microphones_->addItem(QString::fromStdString(name));
    if (microphones_->count() == 0) {
        // Nothing can be recorded: no file is offered as a greeting.
        prompts_.messageBox(kCaption, "NO Microphone Devices Found..", PromptIcon::Error, PromptButtons::Ok);
        return QDialog::Rejected;
    }
    microphones_->setCurrentIndex(0);
    return exec();
}

void CDlgRecorder::SetRecordingLook(bool on) {
    record_->setText(on ? QStringLiteral("Stop recording") : QStringLiteral("Start recording"));
    microphones_->setEnabled(!on);
    play_->setEnabled(!on);
    apply_->setEnabled(!on);
}

void CDlgRecorder::ToggleRecording() {
    std::string error;
    if (!recorder_.recording()) {
        const int device = std::max(0, microphones_->currentIndex());
        if (!recorder_.Start(static_cast<std::size_t>(device), path_, &error)) {
            // Shown, and the dialog stays idle: it never looks as if it recorded.
            prompts_.messageBox(kCaption, "The recording could not start.\n" + error, PromptIcon::Error,
                                PromptButtons::Ok);
            SetRecordingLook(false);
            return;
        }
        SetRecordingLook(true);
        return;
    }
    if (!recorder_.Stop(&error)) prompts_.messageBox(kCaption, error, PromptIcon::Error, PromptButtons::Ok);
    SetRecordingLook(false);
}

void CDlgRecorder::Play() {
    std::error_code ec;
    if (std::filesystem::exists(path_, ec)) shell_.Open(path_);
}

void CDlgRecorder::Apply() {
    std::error_code ec;
    if (!recorder_.recording() && std::filesystem::is_regular_file(path_, ec)) {
        accept();
        return;
    }
    prompts_.messageBox(kCaption, "Please press 'Start recording' button to record the voice message file!",
                        PromptIcon::Warning, PromptButtons::Ok);
}

void CDlgRecorder::closeEvent(QCloseEvent* event) {
    if (recorder_.recording()) ToggleRecording();
    QDialog::closeEvent(event);
}

void CDlgRecorder::reject() {
    if (recorder_.recording()) ToggleRecording();
    QDialog::reject();
}

}  // namespace zorvan::ui
