#pragma once

#include <QTreeView>

#include <functional>

namespace zorvan {
class Prompts;
}

namespace zorvan::ui {

class CampaignModel;

// The contact grid: the campaign row and its contacts in 130-pixel,
// left-aligned columns with grid lines, edited in place. A right click on a
// contact row asks for its menu; the Delete key deletes the selected contact
// rows after the user confirms. Nothing of this happens for the root row.
class ContactGrid final : public QTreeView {
    Q_OBJECT
public:
    using RowFn = std::function<void(std::int32_t id)>;

    ContactGrid(CampaignModel& model, Prompts& prompts, QWidget* parent = nullptr);
    void SetRowMenu(RowFn menu) { menu_ = std::move(menu); }
    // Called for each row the user deleted, after it left the grid.
    void SetRowDeleted(RowFn deleted) { deleted_ = std::move(deleted); }
    // Told just before a confirmed deletion takes the row out.
    void SetRowRemoving(RowFn removing) { removing_ = std::move(removing); }
    // After the columns changed: widths and the campaign row expanded.
    void ApplyColumns();
    void ShowRow(std::int32_t id);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    CampaignModel& model_;
    Prompts& prompts_;
    RowFn menu_;
    RowFn deleted_;
    RowFn removing_;
};

}  // namespace zorvan::ui
