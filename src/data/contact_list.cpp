#include "data/contact_list.h"

#include <algorithm>

namespace zorvan {

// Found through the id index, so a call's status, time and duration cost
// the same in a campaign of ten contacts and of a hundred thousand.
const Contact* ContactList::FindLocked(std::int32_t id) const {
    const auto it = index_.find(id);
    return it == index_.end() ? nullptr : &contacts_[it->second];
}

Contact* ContactList::FindLocked(std::int32_t id) {
    const auto it = index_.find(id);
    return it == index_.end() ? nullptr : &contacts_[it->second];
}

// The first contact of an id wins, as a walk from the front would find it.
void ContactList::ReindexLocked() {
    index_.clear();
    index_.reserve(contacts_.size());
    for (std::size_t i = 0; i < contacts_.size(); ++i) index_.emplace(contacts_[i].id, i);
}

std::size_t ContactList::Count() const {
    std::lock_guard lock(mutex_);
    return contacts_.size();
}

std::optional<Contact> ContactList::At(std::size_t position) const {
    std::lock_guard lock(mutex_);
    if (position >= contacts_.size()) return std::nullopt;
    return contacts_[position];
}


std::optional<Contact> ContactList::Find(std::int32_t id) const {
    std::lock_guard lock(mutex_);
    const Contact* found = FindLocked(id);
    if (found == nullptr) return std::nullopt;
    return *found;
}

void ContactList::Append(Contact contact) {
    std::lock_guard lock(mutex_);
    index_.emplace(contact.id, contacts_.size());
    contacts_.push_back(std::move(contact));
}

void ContactList::Append(std::vector<Contact> contacts) {
    std::lock_guard lock(mutex_);
    contacts_.reserve(contacts_.size() + contacts.size());
    index_.reserve(contacts_.size() + contacts.size());
    for (Contact& contact : contacts) {
        index_.emplace(contact.id, contacts_.size());
        contacts_.push_back(std::move(contact));
    }
}

bool ContactList::ReplaceAt(std::size_t position, Contact contact) {
    std::lock_guard lock(mutex_);
    if (position >= contacts_.size()) return false;
    const bool sameId = contacts_[position].id == contact.id;
    contacts_[position] = std::move(contact);
    if (!sameId) ReindexLocked();
    return true;
}

bool ContactList::Remove(std::int32_t id) {
    std::lock_guard lock(mutex_);
    const auto it = index_.find(id);
    if (it == index_.end()) return false;
    contacts_.erase(contacts_.begin() + static_cast<std::ptrdiff_t>(it->second));
    ReindexLocked();
    return true;
}

bool ContactList::SetField(std::int32_t id, std::string Contact::*field, const std::string& text) {
    std::lock_guard lock(mutex_);
    Contact* contact = FindLocked(id);
    if (contact == nullptr) return false;
    contact->*field = text;
    return true;
}

bool ContactList::SetStatus(std::int32_t id, const std::string& text) { return SetField(id, &Contact::cstatus, text); }
bool ContactList::SetCallTime(std::int32_t id, const std::string& text) { return SetField(id, &Contact::ctime, text); }
bool ContactList::SetDuration(std::int32_t id, const std::string& text) { return SetField(id, &Contact::ccon, text); }

bool ContactList::Update(std::int32_t id, const Contact& from) {
    std::lock_guard lock(mutex_);
    Contact* contact = FindLocked(id);
    if (contact == nullptr) return false;
    for (const ContactField& field : kContactFields) {
        if (field.member == &Contact::ctime || field.member == &Contact::ccon) continue;
        contact->*field.member = from.*field.member;
    }
    return true;
}

void ContactList::Clear() {
    std::lock_guard lock(mutex_);
    contacts_.clear();
    index_.clear();
}

std::vector<Contact> ContactList::Snapshot() const {
    std::lock_guard lock(mutex_);
    return contacts_;
}

}  // namespace zorvan
