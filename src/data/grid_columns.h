#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/contact.h"

namespace zorvan {

// One column of the contact grid: its heading and the contact field it shows.
struct GridColumn {
    std::string heading;
    std::string Contact::*field = nullptr;
    bool operator==(const GridColumn&) const = default;
};

// The grid's columns as the settings choose them: without customising,
// first name, last name, phone, notes, disposition and duration; with it,
// the fields `fields` marks (14 positions, the phone always shown) and then
// notes, disposition and duration.
class GridColumns {
public:
    static constexpr std::size_t kPositions = 14;

    static GridColumns Build(bool customize, std::string_view fields);
    // `fields` as it should be stored: 14 characters of "0" and "1" with the
    // phone position "1". A short value is filled with "0", a longer one cut,
    // any digit other than 0 counts as shown and anything else as hidden.
    static std::string NormalizeFields(std::string_view fields);
    // The heading of each of the 14 positions, in order.
    static const std::vector<GridColumn>& Positions();

    std::size_t size() const { return columns_.size(); }
    const GridColumn& at(std::size_t column) const { return columns_.at(column); }
    const std::vector<GridColumn>& columns() const { return columns_; }
    int dispositionColumn() const { return static_cast<int>(columns_.size()) - 2; }
    int durationColumn() const { return static_cast<int>(columns_.size()) - 1; }
    int notesColumn() const { return static_cast<int>(columns_.size()) - 3; }
    int ColumnOf(std::string Contact::*field) const;

    // A contact's cells, column by column.
    std::vector<std::string> Cells(const Contact& contact) const;
    // What the grid shows back into the contact: the visible columns' cells;
    // the fields of hidden columns, the call time and the recording stay.
    void Merge(Contact& into, const std::vector<std::string>& cells) const;

    bool operator==(const GridColumns&) const = default;

private:
    std::vector<GridColumn> columns_;
};

}  // namespace zorvan
