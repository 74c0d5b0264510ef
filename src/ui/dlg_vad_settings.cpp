#include "ui/dlg_vad_settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "audio/amd/amd_window.h"
#include "dial/options_rules.h"
#include "platform/prompts.h"
#include "ui/clickable_label.h"
#include "ui/dlg_recorder.h"

namespace zorvan::ui {

CDlgVADValueConfig::CDlgVADValueConfig(int threshold, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Adjust VAD Threshold Value"));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setRange(1, 3);
    slider_->setTickInterval(1);
    slider_->setTickPosition(QSlider::TicksBelow);
    slider_->setPageStep(1);
    slider_->setValue(std::clamp(threshold, 1, 3));
    row->addWidget(new QLabel(QStringLiteral("Min"), this));
    row->addWidget(slider_, 1);
    row->addWidget(new QLabel(QStringLiteral("Max"), this));
    layout->addLayout(row);
    text_ = new QLabel(QString::fromStdString(ThresholdText(threshold)), this);
    text_->setAlignment(Qt::AlignCenter);
    text_->setWordWrap(true);
    text_->setMinimumWidth(360);
    layout->addWidget(text_);
    connect(slider_, &QSlider::valueChanged, this,
            [this](int value) { text_->setText(QString::fromStdString(ThresholdText(value))); });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

int CDlgVADValueConfig::position() const { return slider_->value(); }
QString CDlgVADValueConfig::text() const { return text_->text(); }

namespace {
QCheckBox* Check(QWidget* parent, const char* text, const char* name, bool on) {
    auto* box = new QCheckBox(QString::fromUtf8(text), parent);
    box->setObjectName(QString::fromUtf8(name));
    box->setChecked(on);
    return box;
}
QPushButton* Button(QWidget* parent, const char* text, const char* name) {
    auto* button = new QPushButton(QString::fromUtf8(text), parent);
    button->setObjectName(QString::fromUtf8(name));
    return button;
}
QLineEdit* PathEdit(QWidget* parent, const std::string& text, const char* name) {
    auto* edit = new QLineEdit(QString::fromStdString(text), parent);
    edit->setReadOnly(true);
    edit->setObjectName(QString::fromUtf8(name));
    return edit;
}
}  // namespace

CDlgVADsettings::CDlgVADsettings(Services services, const SettingsData& v, QWidget* parent)
    : QWidget(parent), services_(std::move(services)) {
    auto* layout = new QVBoxLayout(this);
    vad_ = Check(this, "Enable voice activity detection", "vad", v.vad);
    layout->addWidget(vad_);

    auto* machine = new QGroupBox(QStringLiteral("When the answering machine is detected..."), this);
    auto* m = new QGridLayout(machine);
    leaveMessage_ = Check(machine,
                          "Leave below message on the answering machine line after answering machine greeting",
                          "leavemsgtotam", v.leavemsgtotam);
    leaveMessageFile_ = PathEdit(machine, v.leavemsgtotamfile, "leavemsgtotamfile");
    recordMachine_ = Button(machine, "Record", "recordMachine");
    browseMachine_ = Button(machine, "Browse...", "browseMachine");
    hangUp_ = Check(machine, "Hang up immediately if detect answering machine line", "hangupamline", v.hangupamline);
    m->addWidget(leaveMessage_, 0, 0, 1, 3);
    m->addWidget(leaveMessageFile_, 1, 0);
    m->addWidget(recordMachine_, 1, 1);
    m->addWidget(browseMachine_, 1, 2);
    m->addWidget(hangUp_, 2, 0, 1, 3);
    layout->addWidget(machine);

    auto* human = new QGroupBox(QStringLiteral("When the human is detected..."), this);
    auto* h = new QGridLayout(human);
    messageToHuman_ = Check(human, "Play below message if human answered", "msgtohuman", v.msgtohuman);
    humanFile_ = PathEdit(human, v.msgtohumanfile, "msgtohumanfile");
    recordHuman_ = Button(human, "Record", "recordHuman");
    browseHuman_ = Button(human, "Browse...", "browseHuman");
    autoHangUp_ = Check(human, "Automatically hang up and dial next when above message finished playing", "autohnafmsg",
                        v.autohnafmsg);
    h->addWidget(messageToHuman_, 0, 0, 1, 3);
    h->addWidget(humanFile_, 1, 0);
    h->addWidget(recordHuman_, 1, 1);
    h->addWidget(browseHuman_, 1, 2);
    h->addWidget(autoHangUp_, 2, 0, 1, 3);
    layout->addWidget(human);

    auto* notes = new QLabel(QStringLiteral("(Notes: All voice message can only be heard at the remote party. The "
                                            "caller couldn't hear the voice message.)"),
                             this);
    notes->setWordWrap(true);
    layout->addWidget(notes);
    auto* modeRow = new QHBoxLayout;
    auto* modeLabel = new QLabel(QStringLiteral("Detection:"), this);
    mode_ = new QComboBox(this);
    mode_->setObjectName(QStringLiteral("amdmode"));
    mode_->addItem(QStringLiteral("Silence after the answer"));
    mode_->addItem(QStringLiteral("Shape of the answer and the beep"));
    mode_->setCurrentIndex(audio::AmdMode(v.amdmode));
    mode_->setToolTip(QStringLiteral(
        "Silence after the answer: a line that falls silent soon after the answer is a person.\n"
        "Shape of the answer and the beep: judges how long and how the line speaks, its pauses, any "
        "beep\nand the phrases only recordings say (\"leave a message\"), and leaves the message as the "
        "machine's beep ends."));
    modeLabel->setBuddy(mode_);
    modeRow->addWidget(modeLabel);
    modeRow->addWidget(mode_);
    modeRow->addStretch(1);
    layout->addLayout(modeRow);
    auto* thresholdRow = new QHBoxLayout;
    thresholdButton_ = Button(this, "...", "thresholdButton");
    thresholdButton_->setFixedWidth(28);
    auto* link = new ClickableLabel(this);
    link->setObjectName(QStringLiteral("adjustThreshold"));
    link->setText(QStringLiteral("<a href=\"#\">Adjust threshold</a>"));
    thresholdRow->addWidget(thresholdButton_);
    thresholdRow->addWidget(link);
    thresholdRow->addStretch(1);
    layout->addLayout(thresholdRow);
    layout->addStretch(1);

    connect(vad_, &QCheckBox::clicked, this, [this] { ApplyRules(); });
    connect(leaveMessage_, &QCheckBox::clicked, this, [this] {
        if (leaveMessage_->isChecked()) hangUp_->setChecked(false);
        ApplyRules();
    });
    connect(hangUp_, &QCheckBox::clicked, this, [this] {
        if (hangUp_->isChecked()) leaveMessage_->setChecked(false);
        ApplyRules();
    });
    connect(messageToHuman_, &QCheckBox::clicked, this, [this] { ApplyRules(); });
    connect(recordMachine_, &QPushButton::clicked, this, [this] { Record(true); });
    connect(recordHuman_, &QPushButton::clicked, this, [this] { Record(false); });
    connect(browseMachine_, &QPushButton::clicked, this, [this] { Browse(true); });
    connect(browseHuman_, &QPushButton::clicked, this, [this] { Browse(false); });
    connect(thresholdButton_, &QPushButton::clicked, this, &CDlgVADsettings::AdjustThreshold);
    connect(link, &ClickableLabel::clicked, this, &CDlgVADsettings::AdjustThreshold);
    // A file edited by hand with both machine options on: the leave-message
    // one wins, and the rules follow from the result.
    if (leaveMessage_->isChecked() && hangUp_->isChecked()) hangUp_->setChecked(false);
    ApplyRules();
}

void CDlgVADsettings::ApplyRules() {
    const VadEnabling e =
        EnablingOf({vad_->isChecked(), leaveMessage_->isChecked(), hangUp_->isChecked(), messageToHuman_->isChecked()});
    leaveMessage_->setEnabled(e.leaveMessage);
    for (QWidget* w : std::initializer_list<QWidget*>{leaveMessageFile_, recordMachine_, browseMachine_}) {
        w->setEnabled(e.leaveMessageFile);
    }
    hangUp_->setEnabled(e.hangUp);
    messageToHuman_->setEnabled(e.messageToHuman);
    for (QWidget* w : std::initializer_list<QWidget*>{humanFile_, recordHuman_, browseHuman_, autoHangUp_}) {
        w->setEnabled(e.humanFile);
    }
    thresholdButton_->setEnabled(e.threshold);
    mode_->setEnabled(e.threshold);
}

void CDlgVADsettings::StoreInto(SettingsData& v) const {
    v.vad = vad_->isChecked();
    v.leavemsgtotam = leaveMessage_->isChecked();
    v.leavemsgtotamfile = leaveMessageFile_->text().toStdString();
    v.hangupamline = hangUp_->isChecked();
    v.msgtohuman = messageToHuman_->isChecked();
    v.msgtohumanfile = humanFile_->text().toStdString();
    v.autohnafmsg = autoHangUp_->isChecked();
    v.amdmode = mode_->currentIndex();
}

void CDlgVADsettings::Record(bool machine) {
    FileDialogRequest request;
    request.caption = "Save As";
    request.defaultName = machine ? "LeaveMsg" : "MsgToHuman";
    request.defaultSuffix = "wav";
    request.filter = "WAV Files (*.wav)";
    request.confirmOverwrite = true;
    const auto path = services_.prompts.saveFile(request);
    if (!path || path->empty()) return;
    if (services_.microphone == nullptr) {
        services_.prompts.messageBox("Zorvan Dialer", "NO Microphone Devices Found..", PromptIcon::Error,
                                     PromptButtons::Ok);
        return;
    }
    CDlgRecorder recorder(*path, *services_.microphone, services_.prompts, services_.shell, this);
    // The greeting changes only when the recorder confirms a file.
    if (recorder.Run() != QDialog::Accepted) return;
    (machine ? leaveMessageFile_ : humanFile_)->setText(QString::fromStdString(*path));
}

void CDlgVADsettings::Browse(bool machine) {
    FileDialogRequest request;
    request.caption = "Open";
    request.defaultSuffix = "wav";
    request.filter = "16kHz, mono 16-bit WAV Files (*.wav)";
    request.confirmOverwrite = false;
    if (const auto path = services_.prompts.openFile(request)) {
        (machine ? leaveMessageFile_ : humanFile_)->setText(QString::fromStdString(*path));
    }
}

void CDlgVADsettings::AdjustThreshold() {
    CDlgVADValueConfig dialog(services_.threshold ? services_.threshold() : 2, this);
    if (dialog.exec() == QDialog::Accepted && services_.setThreshold) services_.setThreshold(dialog.position());
}

QCheckBox* CDlgVADsettings::check(const QString& name) const { return findChild<QCheckBox*>(name); }
QLineEdit* CDlgVADsettings::edit(const QString& name) const { return findChild<QLineEdit*>(name); }
QPushButton* CDlgVADsettings::button(const QString& name) const { return findChild<QPushButton*>(name); }
QComboBox* CDlgVADsettings::combo(const QString& name) const { return findChild<QComboBox*>(name); }

}  // namespace zorvan::ui
