#include "ui/dlg_customize_columns.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QVBoxLayout>

namespace zorvan::ui {

namespace {
constexpr const char* kCaptions[14] = {"First name",     "Last name",      "Phone number", "Email",
                                       "Company",        "Job title",      "Address",      "City",
                                       "State/Province", "Country/Region", "ZIP/Postal code", "Website",
                                       "FAX",            "Other"};
}  // namespace

CDlgCustomizeDisplayColumn::CDlgCustomizeDisplayColumn(bool customize, const std::string& fields, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Customize display of columns "));
    auto* layout = new QVBoxLayout(this);
    display_ = new QCheckBox(QStringLiteral("Display below checked columns"), this);
    display_->setChecked(customize);
    layout->addWidget(display_);
    auto* group = new QGroupBox(this);
    auto* grid = new QGridLayout(group);
    for (int i = 0; i < 14; ++i) {
        auto* box = new QCheckBox(QString::fromUtf8(kCaptions[i]), group);
        const char c = static_cast<std::size_t>(i) < fields.size() ? fields[static_cast<std::size_t>(i)] : '0';
        box->setChecked(c >= '1' && c <= '9');
        boxes_[static_cast<std::size_t>(i)] = box;
        grid->addWidget(box, i / 2, i % 2);
    }
    boxes_[kPhoneBox]->setChecked(true);
    layout->addWidget(group);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(display_, &QCheckBox::toggled, this, &CDlgCustomizeDisplayColumn::ApplyEnabling);
    ApplyEnabling();
}

void CDlgCustomizeDisplayColumn::ApplyEnabling() {
    // Unchecking keeps the boxes' states: they are only greyed out.
    for (int i = 0; i < 14; ++i) boxes_[static_cast<std::size_t>(i)]->setEnabled(i != kPhoneBox && display_->isChecked());
}

bool CDlgCustomizeDisplayColumn::customize() const { return display_->isChecked(); }

std::string CDlgCustomizeDisplayColumn::fields() const {
    std::string out;
    for (int i = 0; i < 14; ++i) out += i == kPhoneBox || boxes_[static_cast<std::size_t>(i)]->isChecked() ? '1' : '0';
    return out;
}

}  // namespace zorvan::ui
