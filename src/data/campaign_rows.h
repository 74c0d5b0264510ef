#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/contact.h"
#include "data/grid_columns.h"

namespace zorvan {

// The contact grid's rows as data: the "Campaign" root row, created with
// the first contact and gone when the grid is emptied, then one row per
// contact in insertion order, each keeping its contact's id and the texts of
// its cells. A row's id is its contact's identity for the life of the
// process: rebuilding the rows keeps it, and a new contact gets one that no
// row and no element of the open file has had. UI thread only.
class CampaignRows {
public:
    static constexpr const char* kRootText = "Campaign";

    explicit CampaignRows(GridColumns columns = GridColumns::Build(false, {}));

    const GridColumns& columns() const { return columns_; }
    bool hasRoot() const { return hasRoot_; }
    std::size_t count() const { return rows_.size(); }

    // Adds a row for the contact: under its id when that is set and free,
    // otherwise under a fresh one. Returns the row's id.
    std::int32_t Insert(const Contact& contact);
    bool Remove(std::int32_t id);
    // No rows, no root.
    void Clear();
    // Other columns, the same rows under the same ids, their texts taken
    // from `contacts` (found by id).
    void Rebuild(GridColumns columns, const std::vector<Contact>& contacts);
    // Ids up to this one are taken (by the elements of the open file).
    void ReserveIds(std::int32_t highestUsed);

    std::optional<std::size_t> IndexOf(std::int32_t id) const;
    std::int32_t IdAt(std::size_t index) const { return rows_.at(index).id; }
    const std::vector<std::string>& CellsAt(std::size_t index) const { return rows_.at(index).cells; }
    const std::vector<std::string>* CellsOf(std::int32_t id) const;
    bool SetCell(std::int32_t id, std::size_t column, std::string text);
    // The row's cells from its contact again.
    bool Refresh(const Contact& contact);

    // The grid's pre-order walk over the contact rows: the row after
    // `after`, or the first row when `after` is none or no row has that id.
    // None at the end.
    std::optional<std::int32_t> Next(std::optional<std::int32_t> after) const;

private:
    struct Row {
        std::int32_t id = 0;
        std::vector<std::string> cells;
    };
    void Reindex(std::size_t from);

    GridColumns columns_;
    bool hasRoot_ = false;
    std::vector<Row> rows_;
    std::unordered_map<std::int32_t, std::size_t> index_;
    std::int32_t highestId_ = 0;
};

}  // namespace zorvan
