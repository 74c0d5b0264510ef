#pragma once

#include <QDialog>

#include <array>
#include <functional>
#include <optional>

#include "dial/contact_window_model.h"
#include "platform/event_loop.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSlider;

namespace zorvan {
class Prompts;
}

namespace zorvan::ui {

class CDlgDialPad;

// "Contact Information": the contact being called (or viewed), editable,
// with the call's phase in its title and the in-call buttons. The buttons
// post their events to the main window, which does the work; the rules of
// what is written back live in ContactWindowModel. Closing it hides it;
// Enter and Escape do not close it.
class CDlgContactMsg final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kFieldCount = 15;

    // `onKey` sends a dial pad key's tone to the call in progress.
    CDlgContactMsg(EventLoop& loop, TargetId mainWindow, Prompts& prompts, std::function<void(char)> onKey,
                   QWidget* parent);
    ~CDlgContactMsg() override;

    // Loads the contact; shows and raises the window unless `show` is off.
    void ShowContact(const Contact& contact, bool withDisposition, bool show, bool autorec);
    void LoadContact(const Contact& contact);
    void SetCallPhase(CallPhase phase, bool autorec);
    void FillGreetings(bool leaveMessageToMachine, bool messageToHuman, const std::vector<GreetingFile>& greetings);
    void FillDispositions(const std::vector<Disposition>& dispositions);
    // The box shows the disposition of that status, unless the user chose one.
    void SelectDisposition(int status);
    // Shows the greeting about to play; the user's choice stays.
    void SelectGreeting(int data);
    // The item data of the greeting the user chose (100, 101 or a list index).
    std::optional<int> greetingChoice() const { return greetingChoice_; }
    void ShowProgress(int percent);
    void SetRecording(bool on);
    void SetRecordedFile(const std::string& path) { model_.SetRecordedFile(path); }
    void GreetingStarted();
    void GreetingFinished();
    // The contact as the window has it when the user changed something (see
    // ContactWindowModel::ReadBack); then "Update" is disabled.
    std::optional<Contact> ReadBack(const Contact& current);

    const ContactWindowModel& model() const { return model_; }
    CDlgDialPad& dialPad() { return *dialPad_; }
    QString title() const;
    QLineEdit* field(int index) const { return fields_.at(static_cast<std::size_t>(index)); }
    QPlainTextEdit* notes() const { return notes_; }
    QComboBox* dispositionBox() const { return disposition_; }
    QComboBox* greetingBox() const { return greeting_; }
    QPushButton* button(const QString& objectName) const;
    QString progressText() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void reject() override {}  // Escape does not close it

private:
    void Post(std::uint32_t id, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
    void Display(const Contact& contact, bool withDisposition);
    void FieldsEdited();
    void PresetNotes();

    EventLoop& loop_;
    TargetId main_;
    Prompts& prompts_;
    ContactWindowModel model_;
    QLabel* title_;
    std::array<QLineEdit*, 14> fields_{};
    QPlainTextEdit* notes_;
    QComboBox* disposition_;
    QComboBox* greeting_;
    QSlider* progress_;
    QLabel* percent_;
    QPushButton* record_;
    QPushButton* hold_;
    QPushButton* endCall_;
    QPushButton* dialPadButton_;
    QPushButton* update_;
    QPushButton* play_;
    CDlgDialPad* dialPad_;
    bool loading_ = false;
    bool onHold_ = false;
    bool recording_ = false;
    bool playing_ = false;
    int greetingIndex_ = -1;
    std::optional<int> greetingChoice_;
    std::string notesSetting_;

public:
    void SetPresetNotes(std::string setting) { notesSetting_ = std::move(setting); }
};

}  // namespace zorvan::ui
