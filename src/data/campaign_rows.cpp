#include "data/campaign_rows.h"

#include <algorithm>

namespace zorvan {

CampaignRows::CampaignRows(GridColumns columns) : columns_(std::move(columns)) {}

std::int32_t CampaignRows::Insert(const Contact& contact) {
    std::int32_t id = contact.id;
    if (id <= 0 || index_.contains(id)) id = highestId_ + 1;
    highestId_ = std::max(highestId_, id);
    hasRoot_ = true;
    index_[id] = rows_.size();
    rows_.push_back(Row{id, columns_.Cells(contact)});
    return id;
}

bool CampaignRows::Remove(std::int32_t id) {
    const auto it = index_.find(id);
    if (it == index_.end()) return false;
    const std::size_t at = it->second;
    index_.erase(it);
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(at));
    Reindex(at);
    return true;
}

void CampaignRows::Clear() {
    rows_.clear();
    index_.clear();
    hasRoot_ = false;
}

void CampaignRows::Rebuild(GridColumns columns, const std::vector<Contact>& contacts) {
    columns_ = std::move(columns);
    std::unordered_map<std::int32_t, const Contact*> byId;
    byId.reserve(contacts.size());
    for (const Contact& contact : contacts) byId[contact.id] = &contact;
    for (Row& row : rows_) {
        const auto it = byId.find(row.id);
        row.cells = it == byId.end() ? std::vector<std::string>(columns_.size()) : columns_.Cells(*it->second);
    }
}

void CampaignRows::ReserveIds(std::int32_t highestUsed) { highestId_ = std::max(highestId_, highestUsed); }

void CampaignRows::Reindex(std::size_t from) {
    for (std::size_t i = from; i < rows_.size(); ++i) index_[rows_[i].id] = i;
}

std::optional<std::size_t> CampaignRows::IndexOf(std::int32_t id) const {
    const auto it = index_.find(id);
    if (it == index_.end()) return std::nullopt;
    return it->second;
}

const std::vector<std::string>* CampaignRows::CellsOf(std::int32_t id) const {
    const auto at = IndexOf(id);
    return at ? &rows_[*at].cells : nullptr;
}

bool CampaignRows::SetCell(std::int32_t id, std::size_t column, std::string text) {
    const auto at = IndexOf(id);
    if (!at || column >= columns_.size()) return false;
    rows_[*at].cells[column] = std::move(text);
    return true;
}

bool CampaignRows::Refresh(const Contact& contact) {
    const auto at = IndexOf(contact.id);
    if (!at) return false;
    rows_[*at].cells = columns_.Cells(contact);
    return true;
}

std::optional<std::int32_t> CampaignRows::Next(std::optional<std::int32_t> after) const {
    if (rows_.empty()) return std::nullopt;
    if (!after) return rows_.front().id;
    const auto at = IndexOf(*after);
    if (!at) return rows_.front().id;
    if (*at + 1 >= rows_.size()) return std::nullopt;
    return rows_[*at + 1].id;
}

}  // namespace zorvan
