#include "ui/contact_grid.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include <set>

#include "platform/prompts.h"
#include "ui/campaign_model.h"

namespace zorvan::ui {

namespace {

constexpr int kColumnWidth = 130;

// Cells drawn as usual, with grid lines to their right and below.
class GridLineDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(QColor(212, 212, 212));
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->restore();
    }
};

}  // namespace

ContactGrid::ContactGrid(CampaignModel& model, Prompts& prompts, QWidget* parent)
    : QTreeView(parent), model_(model), prompts_(prompts) {
    setObjectName(QStringLiteral("contactGrid"));
    setModel(&model_);
    setUniformRowHeights(true);  // a campaign of 100 000 rows scrolls without measuring each
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::SelectedClicked);
    setAllColumnsShowFocus(true);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header()->setStretchLastSection(false);
    setItemDelegate(new GridLineDelegate(this));
    connect(&model_, &QAbstractItemModel::modelReset, this, &ContactGrid::ApplyColumns);
    connect(&model_, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex& parent) {
        if (!parent.isValid()) expand(model_.RootIndex());  // the campaign row was just made
    });
    ApplyColumns();
}

void ContactGrid::ApplyColumns() {
    header()->setDefaultSectionSize(kColumnWidth);
    for (int i = 0; i < model_.columnCount(); ++i) header()->resizeSection(i, kColumnWidth);
    if (model_.RootIndex().isValid()) expand(model_.RootIndex());
}

void ContactGrid::ShowRow(std::int32_t id) {
    const QModelIndex row = model_.IndexOf(id);
    if (!row.isValid()) return;
    scrollTo(row);
    setCurrentIndex(row);
}

void ContactGrid::contextMenuEvent(QContextMenuEvent* event) {
    const std::int32_t id = model_.IdAt(indexAt(event->pos()));
    if (id == 0 || !menu_) return;
    setCurrentIndex(model_.IndexOf(id));
    menu_(id);
}

void ContactGrid::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Delete || state() == QAbstractItemView::EditingState) {
        QTreeView::keyPressEvent(event);
        return;
    }
    std::set<std::int32_t> ids;
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        if (const std::int32_t id = model_.IdAt(index); id != 0) ids.insert(id);
    }
    if (ids.empty()) {
        if (const std::int32_t id = model_.IdAt(currentIndex()); id != 0) ids.insert(id);
    }
    if (ids.empty()) return;  // the campaign row cannot be deleted
    if (prompts_.messageBox("Delete contact...", "Are you sure you want to delete the selected item?",
                            PromptIcon::Question, PromptButtons::YesNo) != PromptAnswer::Yes) {
        return;
    }
    for (const std::int32_t id : ids) {
        if (removing_) removing_(id);
        model_.RemoveContact(id);
        if (deleted_) deleted_(id);
    }
}

}  // namespace zorvan::ui
