#pragma once

#include <QDialog>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace zorvan {
class DispositionList;
class GreetingList;
class Prompts;
}  // namespace zorvan

namespace zorvan::ui {

// Adds or edits a greeting file (mode 1: path and description) or a call
// disposition (mode 2: name and description).
class CDlgAddEditGreeting final : public QDialog {
    Q_OBJECT
public:
    CDlgAddEditGreeting(Prompts& prompts, std::string first, std::string description, int mode, bool editing,
                        QWidget* parent = nullptr);
    // "Save": false, with the message shown, when a text is missing.
    bool Save();
    std::string first() const;
    std::string description() const;  // trimmed
    QLineEdit* firstEdit() const { return first_; }
    QLineEdit* descriptionEdit() const { return description_; }

private:
    Prompts& prompts_;
    int mode_;
    QLineEdit* first_ = nullptr;
    QLineEdit* description_ = nullptr;
};

// The "Preset" page: the preset notes, and the disposition and greeting
// lists, which it edits in place at once.
class CDlgPresetSettings final : public QWidget {
    Q_OBJECT
public:
    // How the page asks for an entry: the add/edit dialog, or a test's answer.
    using AskEntry = std::function<std::optional<std::pair<std::string, std::string>>(
        int mode, const std::string& first, const std::string& description, bool editing)>;

    CDlgPresetSettings(Prompts& prompts, DispositionList& dispositions, GreetingList& greetings, std::string notes,
                       QWidget* parent = nullptr);
    void SetAskEntry(AskEntry ask) { ask_ = std::move(ask); }
    std::string notes() const;

    QTreeWidget* dispositionList() const { return dispositionList_; }
    QTreeWidget* greetingList() const { return greetingList_; }
    QPushButton* button(const QString& objectName) const;

    void AddDisposition();
    void EditDisposition();
    void DeleteDisposition();
    void AddGreeting();
    void EditGreeting();
    void DeleteGreeting();

private:
    void Fill();
    void UpdateButtons();

    Prompts& prompts_;
    DispositionList& dispositions_;
    GreetingList& greetings_;
    AskEntry ask_;
    QPlainTextEdit* notes_ = nullptr;
    QTreeWidget* dispositionList_ = nullptr;
    QTreeWidget* greetingList_ = nullptr;
};

}  // namespace zorvan::ui
