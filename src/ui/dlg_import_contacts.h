#pragma once

#include <QDialog>

#include <array>
#include <string>
#include <vector>

#include "data/contact_import.h"

class QCheckBox;
class QGroupBox;
class QSpinBox;
class QTreeWidget;

namespace zorvan {
class Prompts;
class Shell;
}  // namespace zorvan

namespace zorvan::ui {

// "Import Contacts": the CSV file as a preview (one column per cell of the
// first row, "Column 0", "Column 1", ...; the first row on top, the data
// rows below it), the mapping its header proposes, the phone column marked
// and chosen by a click on a column's header, the other fields' columns,
// and the duplicate option.
class CDlgImportContacts final : public QDialog {
    Q_OBJECT
public:
    // The preview shows at most this many data rows; all are imported.
    static constexpr int kPreviewRows = 500;

    CDlgImportContacts(const std::vector<std::vector<std::string>>& rows, Prompts& prompts, Shell* shell,
                       QWidget* parent = nullptr);

    ImportMapping mapping() const;
    QSpinBox* phoneBox() const { return phone_; }
    QSpinBox* fieldBox(int index) const { return fields_.at(static_cast<std::size_t>(index)); }
    QCheckBox* showMapping() const { return showMapping_; }
    QCheckBox* skipDuplicates() const { return skipDuplicates_; }
    QTreeWidget* preview() const { return preview_; }
    int markedColumn() const { return marked_; }

    void accept() override;

private:
    void MarkPhoneColumn(int column);

    Prompts& prompts_;
    Shell* shell_;
    ImportMapping proposed_;
    QSpinBox* phone_ = nullptr;
    std::array<QSpinBox*, 12> fields_{};
    QGroupBox* mappingBox_ = nullptr;
    QCheckBox* showMapping_ = nullptr;
    QCheckBox* skipDuplicates_ = nullptr;
    QTreeWidget* preview_ = nullptr;
    int marked_ = -1;
};

}  // namespace zorvan::ui
