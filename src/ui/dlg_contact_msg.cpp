#include "ui/dlg_contact_msg.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "platform/prompts.h"
#include "platform/um_events.h"
#include "ui/dlg_dial_pad.h"

namespace zorvan::ui {

namespace {

// The labels of the 14 one-line fields, in the order of the model's fields.
constexpr const char* kLabels[14] = {"First name:", "Last name:", "Phone:",   "Email:", "Company:",
                                     "Job title:",  "Address:",   "City:",    "State:", "Country:",
                                     "ZIP:",        "Website:",   "Fax:",     "Other:"};

QPushButton* Button(QWidget* parent, const char* caption, const char* name) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromUtf8(name));
    button->setAutoDefault(false);
    return button;
}

}  // namespace

CDlgContactMsg::CDlgContactMsg(EventLoop& loop, TargetId mainWindow, Prompts& prompts,
                               std::function<void(char)> onKey, QWidget* parent)
    : QDialog(parent), loop_(loop), main_(mainWindow), prompts_(prompts) {
    setWindowTitle(QStringLiteral("Contact Information"));
    auto* layout = new QVBoxLayout(this);
    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("title"));
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    layout->addWidget(title_);

    auto* grid = new QGridLayout;
    for (int i = 0; i < 14; ++i) {
        auto* edit = new QLineEdit(this);
        fields_[static_cast<std::size_t>(i)] = edit;
        grid->addWidget(new QLabel(QString::fromUtf8(kLabels[i]), this), i / 2, (i % 2) * 2);
        grid->addWidget(edit, i / 2, (i % 2) * 2 + 1);
        connect(edit, &QLineEdit::textEdited, this, &CDlgContactMsg::FieldsEdited);
    }
    layout->addLayout(grid);

    auto* notesRow = new QHBoxLayout;
    notesRow->addWidget(new QLabel(QStringLiteral("Notes:"), this), 0, Qt::AlignTop);
    notes_ = new QPlainTextEdit(this);
    notes_->setMaximumHeight(70);
    connect(notes_, &QPlainTextEdit::textChanged, this, &CDlgContactMsg::FieldsEdited);
    notesRow->addWidget(notes_, 1);
    auto* preset = Button(this, "Preset Notes\n>>", "presetNotes");
    connect(preset, &QPushButton::clicked, this, &CDlgContactMsg::PresetNotes);
    notesRow->addWidget(preset);
    layout->addLayout(notesRow);

    auto* form = new QFormLayout;
    disposition_ = new QComboBox(this);
    disposition_->setEditable(true);
    disposition_->setInsertPolicy(QComboBox::NoInsert);
    connect(disposition_, &QComboBox::activated, this, [this](int index) {
        if (loading_) return;
        model_.ChooseDisposition(disposition_->itemText(index).toStdString());
        update_->setEnabled(true);
    });
    connect(disposition_->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
        model_.ChooseDisposition(text.toStdString());
        update_->setEnabled(true);
    });
    form->addRow(QStringLiteral("Call disposition:"), disposition_);
    layout->addLayout(form);

    auto* buttons = new QHBoxLayout;
    record_ = Button(this, "Record", "record");
    hold_ = Button(this, "Hold", "hold");
    endCall_ = Button(this, "End call", "endCall");
    dialPadButton_ = Button(this, "Dial Pad", "dialPad");
    update_ = Button(this, "Update", "update");
    for (QPushButton* b : {record_, hold_, endCall_, dialPadButton_, update_}) buttons->addWidget(b);
    layout->addLayout(buttons);

    auto* greetingRow = new QHBoxLayout;
    play_ = Button(this, "Play Msg", "play");
    greeting_ = new QComboBox(this);
    progress_ = new QSlider(Qt::Horizontal, this);
    progress_->setRange(0, 100);
    progress_->setEnabled(false);  // it shows, the user does not move it
    percent_ = new QLabel(QStringLiteral("0%"), this);
    greetingRow->addWidget(play_);
    greetingRow->addWidget(greeting_, 1);
    greetingRow->addWidget(progress_, 1);
    greetingRow->addWidget(percent_);
    layout->addLayout(greetingRow);
    connect(greeting_, &QComboBox::activated, this, [this](int index) {
        greetingIndex_ = index;
        greetingChoice_ = greeting_->itemData(index).toInt();
    });

    connect(update_, &QPushButton::clicked, this, [this] { Post(um::UM_UPDATE_CONTACT); });
    connect(endCall_, &QPushButton::clicked, this, [this] { Post(um::UM_END_CALL); });
    connect(hold_, &QPushButton::clicked, this, [this] {
        onHold_ = !onHold_;
        hold_->setText(onHold_ ? QStringLiteral("Resume") : QStringLiteral("Hold"));
        Post(onHold_ ? um::UM_HOLD : um::UM_RESUME);
    });
    connect(record_, &QPushButton::clicked, this, [this] {
        const bool start = !recording_;
        SetRecording(start);
        Post(start ? um::UM_START_RECORDING : um::UM_STOP_RECORDING);
    });
    connect(play_, &QPushButton::clicked, this, [this] {
        if (playing_) {
            playing_ = false;
            play_->setText(QStringLiteral("Play Msg"));
            play_->setEnabled(true);
            Post(um::UM_STOP_GREETING);
        } else {
            playing_ = true;
            play_->setText(QStringLiteral("Stop Msg"));
            Post(um::UM_PLAY_GREETING, 0, 2);
        }
    });
    dialPad_ = new CDlgDialPad(this, 10, 0, std::move(onKey));
    connect(dialPadButton_, &QPushButton::clicked, dialPad_, &CDlgDialPad::Toggle);
    update_->setEnabled(false);
    SetCallPhase(CallPhase::Edit, false);
    title_->clear();
}

CDlgContactMsg::~CDlgContactMsg() = default;

void CDlgContactMsg::Post(std::uint32_t id, std::uintptr_t wParam, std::intptr_t lParam) {
    if (main_ != kNoTarget) loop_.post(main_, {id, wParam, lParam});
}

QPushButton* CDlgContactMsg::button(const QString& objectName) const {
    return findChild<QPushButton*>(objectName);
}

QString CDlgContactMsg::title() const { return title_->text(); }

QString CDlgContactMsg::progressText() const { return percent_->text(); }

void CDlgContactMsg::Display(const Contact& contact, bool withDisposition) {
    loading_ = true;
    const auto& fields = ContactWindowModel::EditedFields();
    for (std::size_t i = 0; i < fields_.size(); ++i) fields_[i]->setText(QString::fromStdString(contact.*fields[i]));
    notes_->setPlainText(QString::fromStdString(contact.notes));
    if (withDisposition) disposition_->setEditText(QString::fromStdString(contact.cstatus));
    model_.Load(contact, withDisposition);
    onHold_ = recording_ = playing_ = false;
    hold_->setText(QStringLiteral("Hold"));
    record_->setText(QStringLiteral("Record"));
    play_->setText(QStringLiteral("Play Msg"));
    update_->setEnabled(false);
    loading_ = false;
}

void CDlgContactMsg::ShowContact(const Contact& contact, bool withDisposition, bool show, bool autorec) {
    Display(contact, withDisposition);
    if (autorec) record_->setEnabled(false);
    if (!show) {
        hide();
        return;
    }
    this->show();
    raise();
    activateWindow();
}

void CDlgContactMsg::LoadContact(const Contact& contact) { Display(contact, false); }

void CDlgContactMsg::SetCallPhase(CallPhase phase, bool autorec) {
    const auto& c = model_.contact();
    const PhaseView view = ViewOfPhase(phase, c ? c->fname : std::string(), c ? c->lname : std::string(), autorec);
    model_.EnterPhase(phase);
    title_->setText(QString::fromStdString(view.title));
    play_->setEnabled(view.playMsg);
    record_->setEnabled(view.record);
    hold_->setEnabled(view.hold);
    endCall_->setEnabled(view.endCall);
    dialPadButton_->setEnabled(view.dialPad);
    if (view.resetProgress) ShowProgress(0);
    if (view.resetCall) {
        onHold_ = recording_ = playing_ = false;
        play_->setText(QStringLiteral("Play Msg"));
        record_->setText(QStringLiteral("Record"));
        hold_->setText(QStringLiteral("Hold"));
        dialPad_->ClearDisplay();
    }
}

void CDlgContactMsg::FillGreetings(bool leaveMessageToMachine, bool messageToHuman,
                                   const std::vector<GreetingFile>& greetings) {
    const std::optional<int> remembered = greeting_->currentIndex() >= 0 ? std::optional(greeting_->currentIndex())
                                                                         : std::nullopt;
    const GreetingBox box = FillGreetingBox(leaveMessageToMachine, messageToHuman, greetings, remembered);
    greeting_->clear();
    for (const BoxEntry& entry : box.entries) greeting_->addItem(QString::fromStdString(entry.text), entry.data);
    greeting_->setCurrentIndex(box.selected.value_or(-1));
    greetingIndex_ = box.selected.value_or(-1);
    greetingChoice_ = box.selected ? std::optional(box.entries[static_cast<std::size_t>(*box.selected)].data)
                                   : std::nullopt;
}

void CDlgContactMsg::FillDispositions(const std::vector<Disposition>& dispositions) {
    loading_ = true;
    const QString text = disposition_->currentText();
    const int remembered = disposition_->currentIndex();
    const DispositionBox box =
        FillDispositionBox(dispositions, remembered >= 0 ? std::optional(remembered) : std::nullopt);
    disposition_->clear();
    for (const BoxEntry& entry : box.entries) disposition_->addItem(QString::fromStdString(entry.text), entry.data);
    if (box.selected) {
        disposition_->setCurrentIndex(*box.selected);
    } else {
        disposition_->setCurrentIndex(-1);
        disposition_->setEditText(text);
    }
    loading_ = false;
}

void CDlgContactMsg::SelectDisposition(int status) {
    if (model_.userDisposition()) return;  // the user's choice stays shown
    const int index = disposition_->findData(status);
    if (index >= 0) disposition_->setCurrentIndex(index);
}

void CDlgContactMsg::SelectGreeting(int data) {
    const int index = greeting_->findData(data);
    if (index >= 0) greeting_->setCurrentIndex(index);
}

void CDlgContactMsg::ShowProgress(int percent) {
    progress_->setValue(percent);
    percent_->setText(QStringLiteral("%1%").arg(percent));
}

void CDlgContactMsg::SetRecording(bool on) {
    recording_ = on;
    record_->setText(on ? QStringLiteral("Stop") : QStringLiteral("Record"));
}

void CDlgContactMsg::GreetingStarted() {
    playing_ = true;
    play_->setText(QStringLiteral("Stop Msg"));
}

void CDlgContactMsg::GreetingFinished() {
    playing_ = false;
    play_->setText(QStringLiteral("Play Msg"));
    play_->setEnabled(true);
    if (greetingIndex_ >= 0) greeting_->setCurrentIndex(greetingIndex_);
}

void CDlgContactMsg::FieldsEdited() {
    if (loading_) return;
    std::vector<std::string> values;
    for (QLineEdit* edit : fields_) values.push_back(edit->text().toStdString());
    values.push_back(notes_->toPlainText().toStdString());
    model_.Edit(values);
    if (model_.modified()) update_->setEnabled(true);
}

void CDlgContactMsg::PresetNotes() {
    const std::vector<std::string> notes = zorvan::PresetNotes(notesSetting_);
    model_.MarkModified();
    if (notes.empty()) return;
    const auto chosen = prompts_.popupMenu(notes);
    if (!chosen || *chosen < 0 || static_cast<std::size_t>(*chosen) >= notes.size()) return;
    notes_->setPlainText(notes_->toPlainText() + QString::fromStdString(notes[static_cast<std::size_t>(*chosen)]));
    update_->setEnabled(true);
}

std::optional<Contact> CDlgContactMsg::ReadBack(const Contact& current) {
    FieldsEdited();
    auto contact = model_.ReadBack(current);
    if (contact) update_->setEnabled(false);
    return contact;
}

void CDlgContactMsg::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
}

void CDlgContactMsg::hideEvent(QHideEvent* event) {
    dialPad_->hide();
    QDialog::hideEvent(event);
}

}  // namespace zorvan::ui
