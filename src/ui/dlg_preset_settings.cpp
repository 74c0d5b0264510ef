#include "ui/dlg_preset_settings.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "data/disposition_list.h"
#include "data/greeting_list.h"
#include "dial/options_rules.h"
#include "platform/prompts.h"

namespace zorvan::ui {

CDlgAddEditGreeting::CDlgAddEditGreeting(Prompts& prompts, std::string first, std::string description, int mode,
                                         bool editing, QWidget* parent)
    : QDialog(parent), prompts_(prompts), mode_(mode) {
    const bool file = mode == 1;
    setWindowTitle(file ? (editing ? QStringLiteral("Edit Greeting File") : QStringLiteral("Add New Greeting File"))
                        : (editing ? QStringLiteral("Edit Call Disposition")
                                   : QStringLiteral("Add New Call Disposition")));
    auto* grid = new QGridLayout(this);
    first_ = new QLineEdit(QString::fromStdString(first), this);
    first_->setMinimumWidth(320);
    description_ = new QLineEdit(QString::fromStdString(description), this);
    grid->addWidget(new QLabel(file ? QStringLiteral("File Path:") : QStringLiteral("Call Disposition:"), this), 0, 0);
    grid->addWidget(first_, 0, 1);
    if (file) {
        auto* browse = new QPushButton(QStringLiteral("Browse"), this);
        grid->addWidget(browse, 0, 2);
        connect(browse, &QPushButton::clicked, this, [this] {
            FileDialogRequest request;
            request.caption = "Open";
            request.defaultSuffix = "wav";
            request.filter = "16kHz, mono 16-bit WAV Files (*.wav)";
            request.confirmOverwrite = false;
            if (const auto path = prompts_.openFile(request)) first_->setText(QString::fromStdString(*path));
        });
    }
    grid->addWidget(new QLabel(file ? QStringLiteral("File Description:") : QStringLiteral("Description:"), this), 1, 0);
    grid->addWidget(description_, 1, 1);
    auto* row = new QHBoxLayout;
    auto* save = new QPushButton(QStringLiteral("Save"), this);
    save->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    row->addStretch(1);
    row->addWidget(save);
    row->addWidget(cancel);
    grid->addLayout(row, 2, 0, 1, 3);
    connect(save, &QPushButton::clicked, this, [this] {
        if (Save()) accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool CDlgAddEditGreeting::Save() {
    const std::string problem = AddEditProblem(mode_, first(), description_->text().toStdString());
    if (problem.empty()) return true;
    prompts_.messageBox("Zorvan Dialer", problem, PromptIcon::Warning, PromptButtons::Ok);
    return false;
}

std::string CDlgAddEditGreeting::first() const { return first_->text().toStdString(); }
std::string CDlgAddEditGreeting::description() const { return TrimmedText(description_->text().toStdString()); }

namespace {
QTreeWidget* ReportList(QWidget* parent, const QString& a, const QString& b, const char* name) {
    auto* list = new QTreeWidget(parent);
    list->setObjectName(QString::fromUtf8(name));
    list->setHeaderLabels({a, b});
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setColumnWidth(0, 138);
    list->setColumnWidth(1, 138);
    return list;
}
QPushButton* Button(QWidget* parent, const char* text, const char* name) {
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setObjectName(QString::fromUtf8(name));
    return b;
}
}  // namespace

CDlgPresetSettings::CDlgPresetSettings(Prompts& prompts, DispositionList& dispositions, GreetingList& greetings,
                                       std::string notes, QWidget* parent)
    : QWidget(parent), prompts_(prompts), dispositions_(dispositions), greetings_(greetings) {
    ask_ = [this](int mode, const std::string& first, const std::string& description, bool editing)
        -> std::optional<std::pair<std::string, std::string>> {
        CDlgAddEditGreeting dialog(prompts_, first, description, mode, editing, this);
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        return std::make_pair(dialog.first(), dialog.description());
    };
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Preset notes (separate with semicolons if more)"), this));
    notes_ = new QPlainTextEdit(QString::fromStdString(notes), this);
    notes_->setObjectName(QStringLiteral("notes"));
    notes_->setMaximumHeight(60);
    layout->addWidget(notes_);

    const auto group = [this, layout](const char* title, QTreeWidget* list, QPushButton* add, QPushButton* edit,
                                      QPushButton* del) {
        auto* box = new QGroupBox(QString::fromUtf8(title), this);
        auto* row = new QHBoxLayout(box);
        row->addWidget(list, 1);
        auto* buttons = new QVBoxLayout;
        buttons->addWidget(add);
        buttons->addWidget(edit);
        buttons->addWidget(del);
        buttons->addStretch(1);
        row->addLayout(buttons);
        layout->addWidget(box, 1);
    };
    dispositionList_ = ReportList(this, QStringLiteral("Call Disposition"), QStringLiteral("Description"), "dispositions");
    group("Preset call disposition", dispositionList_, Button(this, "Add", "addDisposition"),
          Button(this, "Edit", "editDisposition"), Button(this, "Del", "delDisposition"));
    greetingList_ = ReportList(this, QStringLiteral("File Description"), QStringLiteral("File Path"), "greetings");
    group("Preset greeting files", greetingList_, Button(this, "Add", "addGreeting"), Button(this, "Edit", "editGreeting"),
          Button(this, "Del", "delGreeting"));

    connect(button(QStringLiteral("addDisposition")), &QPushButton::clicked, this, &CDlgPresetSettings::AddDisposition);
    connect(button(QStringLiteral("editDisposition")), &QPushButton::clicked, this, &CDlgPresetSettings::EditDisposition);
    connect(button(QStringLiteral("delDisposition")), &QPushButton::clicked, this, &CDlgPresetSettings::DeleteDisposition);
    connect(button(QStringLiteral("addGreeting")), &QPushButton::clicked, this, &CDlgPresetSettings::AddGreeting);
    connect(button(QStringLiteral("editGreeting")), &QPushButton::clicked, this, &CDlgPresetSettings::EditGreeting);
    connect(button(QStringLiteral("delGreeting")), &QPushButton::clicked, this, &CDlgPresetSettings::DeleteGreeting);
    connect(dispositionList_, &QTreeWidget::itemSelectionChanged, this, &CDlgPresetSettings::UpdateButtons);
    connect(greetingList_, &QTreeWidget::itemSelectionChanged, this, &CDlgPresetSettings::UpdateButtons);
    Fill();
}

QPushButton* CDlgPresetSettings::button(const QString& name) const { return findChild<QPushButton*>(name); }

std::string CDlgPresetSettings::notes() const { return notes_->toPlainText().toStdString(); }

void CDlgPresetSettings::Fill() {
    dispositionList_->clear();
    for (const Disposition& d : dispositions_.Entries()) {
        auto* item = new QTreeWidgetItem({QString::fromStdString(d.name), QString::fromStdString(d.description)});
        item->setData(0, Qt::UserRole, d.status);
        dispositionList_->addTopLevelItem(item);
    }
    greetingList_->clear();
    for (const GreetingFile& g : greetings_.Entries()) {
        greetingList_->addTopLevelItem(
            new QTreeWidgetItem({QString::fromStdString(g.description), QString::fromStdString(g.path)}));
    }
    UpdateButtons();
}

// Edit and Del act on the selected row; with none selected they are off.
void CDlgPresetSettings::UpdateButtons() {
    const QTreeWidgetItem* d = dispositionList_->selectedItems().value(0);
    button(QStringLiteral("editDisposition"))->setEnabled(d != nullptr);
    button(QStringLiteral("delDisposition"))->setEnabled(d != nullptr &&
                                                          DispositionDeletable(d->data(0, Qt::UserRole).toInt()));
    const bool g = !greetingList_->selectedItems().isEmpty();
    button(QStringLiteral("editGreeting"))->setEnabled(g);
    button(QStringLiteral("delGreeting"))->setEnabled(g);
}

void CDlgPresetSettings::AddDisposition() {
    const auto entry = ask_(2, {}, {}, false);
    if (!entry) return;
    dispositions_.Append({NextDispositionCode(dispositions_.Entries()), entry->first, entry->second});
    Fill();
}

void CDlgPresetSettings::EditDisposition() {
    QTreeWidgetItem* item = dispositionList_->selectedItems().value(0);
    if (item == nullptr) return;
    const int code = item->data(0, Qt::UserRole).toInt();
    const auto entry = ask_(2, item->text(0).toStdString(), item->text(1).toStdString(), true);
    if (!entry) return;
    dispositions_.Edit(code, entry->first, entry->second);
    Fill();
}

void CDlgPresetSettings::DeleteDisposition() {
    QTreeWidgetItem* item = dispositionList_->selectedItems().value(0);
    if (item == nullptr || !DispositionDeletable(item->data(0, Qt::UserRole).toInt())) return;
    if (prompts_.messageBox("Zorvan Dialer", "Are you sure you want to delete the item?", PromptIcon::Question,
                            PromptButtons::YesNo) != PromptAnswer::Yes) {
        return;
    }
    dispositions_.Delete(item->data(0, Qt::UserRole).toInt());
    Fill();  // nothing selected after a deletion
}

void CDlgPresetSettings::AddGreeting() {
    const auto entry = ask_(1, {}, {}, false);
    if (!entry) return;
    greetings_.Append({entry->second, entry->first});
    Fill();
}

void CDlgPresetSettings::EditGreeting() {
    QTreeWidgetItem* item = greetingList_->selectedItems().value(0);
    if (item == nullptr) return;
    const auto index = static_cast<std::size_t>(greetingList_->indexOfTopLevelItem(item));
    const auto entries = greetings_.Entries();
    if (index >= entries.size()) return;
    const auto entry = ask_(1, entries[index].path, entries[index].description, true);
    if (!entry) return;
    greetings_.Replace(index, {entry->second, entry->first});
    Fill();
}

void CDlgPresetSettings::DeleteGreeting() {
    QTreeWidgetItem* item = greetingList_->selectedItems().value(0);
    if (item == nullptr) return;
    if (prompts_.messageBox("Zorvan Dialer", "Are you sure you want to delete the item?", PromptIcon::Question,
                            PromptButtons::YesNo) != PromptAnswer::Yes) {
        return;
    }
    greetings_.Remove(static_cast<std::size_t>(greetingList_->indexOfTopLevelItem(item)));
    Fill();
}

}  // namespace zorvan::ui
