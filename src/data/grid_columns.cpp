#include "data/grid_columns.h"

namespace zorvan {

namespace {

constexpr std::size_t kPhonePosition = 2;

const GridColumn kNotes{"Notes", &Contact::notes};
const GridColumn kDisposition{"Call Disposition", &Contact::cstatus};
const GridColumn kDuration{"Duration", &Contact::ccon};

}  // namespace

const std::vector<GridColumn>& GridColumns::Positions() {
    static const std::vector<GridColumn> positions{
        {"First Name", &Contact::fname},      {"Last Name", &Contact::lname},
        {"Phone Number", &Contact::phone},    {"Email", &Contact::email},
        {"Company", &Contact::company},       {"Job Title", &Contact::job},
        {"Street Address", &Contact::street}, {"City", &Contact::city},
        {"State/Province", &Contact::state},  {"Country/Region", &Contact::country},
        {"ZIP/Postal Code", &Contact::zip},   {"Website", &Contact::website},
        {"Fax", &Contact::fax},               {"Other", &Contact::others},
    };
    return positions;
}

std::string GridColumns::NormalizeFields(std::string_view fields) {
    std::string out(kPositions, '0');
    for (std::size_t i = 0; i < kPositions && i < fields.size(); ++i) {
        const char c = fields[i];
        out[i] = c >= '1' && c <= '9' ? '1' : '0';
    }
    out[kPhonePosition] = '1';  // the dialer cannot work without the number
    return out;
}

GridColumns GridColumns::Build(bool customize, std::string_view fields) {
    GridColumns grid;
    const auto& positions = Positions();
    const std::string shown = customize ? NormalizeFields(fields) : std::string("11100000000000");
    for (std::size_t i = 0; i < kPositions; ++i) {
        if (shown[i] == '1') grid.columns_.push_back(positions[i]);
    }
    grid.columns_.push_back(kNotes);
    grid.columns_.push_back(kDisposition);
    grid.columns_.push_back(kDuration);
    return grid;
}

int GridColumns::ColumnOf(std::string Contact::*field) const {
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        if (columns_[i].field == field) return static_cast<int>(i);
    }
    return -1;
}

std::vector<std::string> GridColumns::Cells(const Contact& contact) const {
    std::vector<std::string> cells;
    cells.reserve(columns_.size());
    for (const GridColumn& column : columns_) cells.push_back(contact.*column.field);
    return cells;
}

void GridColumns::Merge(Contact& into, const std::vector<std::string>& cells) const {
    for (std::size_t i = 0; i < columns_.size() && i < cells.size(); ++i) into.*columns_[i].field = cells[i];
}

}  // namespace zorvan
