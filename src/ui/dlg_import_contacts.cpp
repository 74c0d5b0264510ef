#include "ui/dlg_import_contacts.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QSpinBox>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/prompts.h"
#include "platform/shell.h"
#include "ui/clickable_label.h"
#include "ui/web_pages.h"

namespace zorvan::ui {

namespace {
// The twelve mapping boxes, in the dialog's order.
struct FieldBox {
    const char* label;
    int ImportMapping::*field;
};
constexpr std::array<FieldBox, 12> kFieldBoxes{{
    {"First name:", &ImportMapping::fname},       {"Last name:", &ImportMapping::lname},
    {"Email:", &ImportMapping::email},            {"WebSite:", &ImportMapping::website},
    {"Fax:", &ImportMapping::fax},                {"Company:", &ImportMapping::company},
    {"Job title:", &ImportMapping::job},          {"Street address:", &ImportMapping::street},
    {"City:", &ImportMapping::city},              {"State/province:", &ImportMapping::state},
    {"Country/region:", &ImportMapping::country}, {"ZIP/postal code:", &ImportMapping::zip},
}};
}  // namespace

CDlgImportContacts::CDlgImportContacts(const std::vector<std::vector<std::string>>& rows, Prompts& prompts,
                                       Shell* shell, QWidget* parent)
    : QDialog(parent), prompts_(prompts), shell_(shell) {
    setWindowTitle(QStringLiteral("Import Contacts"));
    const std::vector<std::string> header = rows.empty() ? std::vector<std::string>{} : rows.front();
    proposed_ = DetectHeader(header);
    const int columns = static_cast<int>(header.size());

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Please specify the index of the column with phone numbers"), this));
    auto* phoneRow = new QHBoxLayout;
    phoneRow->addWidget(
        new QLabel(QStringLiteral("Phone number column (click the column header to select it):"), this));
    phone_ = new QSpinBox(this);
    phone_->setObjectName(QStringLiteral("phoneColumn"));
    phone_->setRange(-1, std::max(0, columns - 1));
    phone_->setValue(proposed_.phone);
    phoneRow->addWidget(phone_);
    phoneRow->addStretch(1);
    layout->addLayout(phoneRow);

    showMapping_ = new QCheckBox(
        QStringLiteral("Specify the corresponding relation between fields and the index of the column"), this);
    layout->addWidget(showMapping_);
    mappingBox_ = new QGroupBox(this);
    auto* grid = new QGridLayout(mappingBox_);
    for (std::size_t i = 0; i < kFieldBoxes.size(); ++i) {
        auto* box = new QSpinBox(mappingBox_);
        box->setRange(-1, 999);
        box->setValue(proposed_.*kFieldBoxes[i].field);
        fields_[i] = box;
        const int row = static_cast<int>(i / 3);
        const int col = static_cast<int>(i % 3) * 2;
        grid->addWidget(new QLabel(QString::fromUtf8(kFieldBoxes[i].label), mappingBox_), row, col);
        grid->addWidget(box, row, col + 1);
    }
    mappingBox_->setVisible(false);
    layout->addWidget(mappingBox_);
    connect(showMapping_, &QCheckBox::toggled, mappingBox_, &QWidget::setVisible);

    preview_ = new QTreeWidget(this);
    preview_->setObjectName(QStringLiteral("preview"));
    QStringList headings;
    for (int c = 0; c < columns; ++c) headings << QStringLiteral("Column %1").arg(c);
    preview_->setHeaderLabels(headings);
    preview_->setUniformRowHeights(true);
    auto* top = new QTreeWidgetItem(preview_);
    for (int c = 0; c < columns; ++c) top->setText(c, QString::fromStdString(header[static_cast<std::size_t>(c)]));
    QFont bold = top->font(0);
    bold.setBold(true);
    for (int c = 0; c < columns; ++c) top->setFont(c, bold);
    const std::size_t shown = std::min<std::size_t>(rows.size(), kPreviewRows + 1);
    for (std::size_t r = 1; r < shown; ++r) {
        auto* item = new QTreeWidgetItem(top);
        const auto& cells = rows[r];
        for (int c = 0; c < columns && static_cast<std::size_t>(c) < cells.size(); ++c) {
            item->setText(c, QString::fromStdString(cells[static_cast<std::size_t>(c)]));
        }
    }
    top->setExpanded(true);
    layout->addWidget(preview_, 1);
    if (rows.size() > shown) {
        layout->addWidget(new QLabel(QStringLiteral("... and %1 more rows, all of which are imported.")
                                         .arg(static_cast<qulonglong>(rows.size() - shown)),
                                     this));
    }
    connect(preview_->header(), &QHeaderView::sectionClicked, this, [this](int column) { phone_->setValue(column); });
    connect(phone_, &QSpinBox::valueChanged, this, [this](int column) {
        if (column >= 0) MarkPhoneColumn(column);
    });
    MarkPhoneColumn(proposed_.phone);

    skipDuplicates_ = new QCheckBox(QStringLiteral("Don't add a phone number if it already exists"), this);
    layout->addWidget(skipDuplicates_);
    auto* bottom = new QHBoxLayout;
    auto* help = new ClickableLabel(this);
    help->setText(QStringLiteral("<a href=\"#\">How to config it?</a>"));
    connect(help, &ClickableLabel::clicked, this, [this] {
        if (shell_ != nullptr) shell_->Open(std::string(web::kHelpBase) + "ImportContacts.html");
    });
    bottom->addWidget(help);
    bottom->addStretch(1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDlgImportContacts::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    bottom->addWidget(buttons);
    layout->addLayout(bottom);
    resize(760, 520);
}

void CDlgImportContacts::MarkPhoneColumn(int column) {
    QTreeWidgetItem* header = preview_->headerItem();
    if (marked_ >= 0) header->setIcon(marked_, QIcon());
    marked_ = column;
    if (column >= 0 && column < preview_->columnCount()) {
        header->setIcon(column, style()->standardIcon(QStyle::SP_DialogApplyButton));
    }
}

ImportMapping CDlgImportContacts::mapping() const {
    ImportMapping m = proposed_;  // the notes column comes from the header only
    m.phone = phone_->value();
    for (std::size_t i = 0; i < kFieldBoxes.size(); ++i) m.*kFieldBoxes[i].field = fields_[i]->value();
    m.skipDuplicates = skipDuplicates_->isChecked();
    return m;
}

void CDlgImportContacts::accept() {
    if (phone_->value() < 0) {
        prompts_.messageBox("Zorvan Dialer", "Please specify the phone number column index!", PromptIcon::Warning,
                            PromptButtons::Ok);
        phone_->setFocus();
        return;
    }
    QDialog::accept();
}

}  // namespace zorvan::ui
