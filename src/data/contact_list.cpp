#include "data/contact_list.h"

#include <algorithm>

namespace zorvan {

namespace {
template <class Contacts>
auto FindLocked(Contacts& contacts, std::int32_t id) {
    const auto it = std::find_if(contacts.begin(), contacts.end(), [id](const Contact& c) { return c.id == id; });
    return it == contacts.end() ? nullptr : &*it;
}
}  // namespace

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
    const Contact* found = FindLocked(contacts_, id);
    if (found == nullptr) return std::nullopt;
    return *found;
}

void ContactList::Append(Contact contact) {
    std::lock_guard lock(mutex_);
    contacts_.push_back(std::move(contact));
}

bool ContactList::ReplaceAt(std::size_t position, Contact contact) {
    std::lock_guard lock(mutex_);
    if (position >= contacts_.size()) return false;
    contacts_[position] = std::move(contact);
    return true;
}

bool ContactList::Remove(std::int32_t id) {
    std::lock_guard lock(mutex_);
    const Contact* found = FindLocked(contacts_, id);
    if (found == nullptr) return false;
    contacts_.erase(contacts_.begin() + (found - contacts_.data()));
    return true;
}

bool ContactList::SetField(std::int32_t id, std::string Contact::*field, const std::string& text) {
    std::lock_guard lock(mutex_);
    Contact* contact = FindLocked(contacts_, id);
    if (contact == nullptr) return false;
    contact->*field = text;
    return true;
}

bool ContactList::SetStatus(std::int32_t id, const std::string& text) { return SetField(id, &Contact::cstatus, text); }
bool ContactList::SetCallTime(std::int32_t id, const std::string& text) { return SetField(id, &Contact::ctime, text); }
bool ContactList::SetDuration(std::int32_t id, const std::string& text) { return SetField(id, &Contact::ccon, text); }

bool ContactList::Update(std::int32_t id, const Contact& from) {
    std::lock_guard lock(mutex_);
    Contact* contact = FindLocked(contacts_, id);
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
}

std::vector<Contact> ContactList::Snapshot() const {
    std::lock_guard lock(mutex_);
    return contacts_;
}

}  // namespace zorvan
