#pragma once

#include <QAbstractItemModel>

#include <functional>

#include "data/campaign_rows.h"

namespace zorvan::ui {

// The contact grid's model: a tree of one "Campaign" row with a child row
// per contact, read from CampaignRows, so that a campaign of any size costs
// no widget per row. The rows are the controller's; it tells the model what
// changed through the operations below.
class CampaignModel final : public QAbstractItemModel {
    Q_OBJECT
public:
    // Called after the user changed a cell of a contact row (its id).
    using EditedFn = std::function<void(std::int32_t id)>;

    explicit CampaignModel(CampaignRows& rows, QObject* parent = nullptr);
    void SetEdited(EditedFn edited) { edited_ = std::move(edited); }

    // Changes made to the rows through the model, so that the view follows.
    std::int32_t InsertContact(const Contact& contact);
    bool RemoveContact(std::int32_t id);
    void SetCell(std::int32_t id, int column, const std::string& text);
    void RefreshContact(const Contact& contact);
    // Many changes at once (open, rebuild, clear): the view starts afresh.
    void Reset(const std::function<void()>& change);

    QModelIndex RootIndex() const;
    QModelIndex IndexOf(std::int32_t id, int column = 0) const;
    // The contact row's id at an index; 0 for the root row or none.
    std::int32_t IdAt(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    CampaignRows& rows_;
    EditedFn edited_;
};

}  // namespace zorvan::ui
