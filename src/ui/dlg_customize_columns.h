#pragma once

#include <QDialog>

#include <array>
#include <string>

class QCheckBox;

namespace zorvan::ui {

// "Customize display of columns ": whether the grid shows the chosen
// columns, and which of the 14 contact fields they are. The phone number is
// always shown.
class CDlgCustomizeDisplayColumn final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kPhoneBox = 2;

    CDlgCustomizeDisplayColumn(bool customize, const std::string& fields, QWidget* parent = nullptr);

    bool customize() const;
    // 14 characters, "1" for a checked box, the phone's always "1".
    std::string fields() const;
    QCheckBox* displayBox() const { return display_; }
    QCheckBox* fieldBox(int index) const { return boxes_.at(static_cast<std::size_t>(index)); }

private:
    void ApplyEnabling();

    QCheckBox* display_ = nullptr;
    std::array<QCheckBox*, 14> boxes_{};
};

}  // namespace zorvan::ui
