#pragma once

#include <mutex>
#include <unordered_map>
#include <optional>
#include <string>
#include <vector>

#include "data/contact.h"

namespace zorvan {

// The open campaign's contacts, one per grid row, in the order they were
// added; found by the row's id. Shared by the UI thread and the dial
// workers, so every operation is serialised.
class ContactList {
public:
    std::size_t Count() const;
    std::optional<Contact> At(std::size_t position) const;
    std::optional<Contact> Find(std::int32_t id) const;
    void Append(Contact contact);
    // Many at once: one lock, one allocation.
    void Append(std::vector<Contact> contacts);
    bool ReplaceAt(std::size_t position, Contact contact);
    bool Remove(std::int32_t id);
    bool SetStatus(std::int32_t id, const std::string& text);
    bool SetCallTime(std::int32_t id, const std::string& text);
    bool SetDuration(std::int32_t id, const std::string& text);
    // Every field but ctime and ccon (and the id) from `from`.
    bool Update(std::int32_t id, const Contact& from);
    void Clear();
    std::vector<Contact> Snapshot() const;

private:
    bool SetField(std::int32_t id, std::string Contact::*field, const std::string& text);
    const Contact* FindLocked(std::int32_t id) const;
    Contact* FindLocked(std::int32_t id);
    void ReindexLocked();

    mutable std::mutex mutex_;
    std::vector<Contact> contacts_;
    std::unordered_map<std::int32_t, std::size_t> index_;  // id -> position
};

}  // namespace zorvan
