#include "data/campaign_store.h"

#include <cstdio>
#include <utility>

namespace zorvan {

namespace {
std::mutex gCurrentMutex;
std::shared_ptr<CampaignStore> gCurrent;

std::shared_ptr<CampaignStore> Take() {
    std::lock_guard lock(gCurrentMutex);
    return std::exchange(gCurrent, nullptr);
}
}  // namespace

CampaignStore::CampaignStore() = default;

std::shared_ptr<CampaignStore> CampaignStore::Instance() {
    std::lock_guard lock(gCurrentMutex);
    if (!gCurrent) gCurrent = std::make_shared<CampaignStore>();
    return gCurrent;
}

std::shared_ptr<CampaignStore> CampaignStore::Current() {
    std::lock_guard lock(gCurrentMutex);
    return gCurrent;
}

std::shared_ptr<CampaignStore> CampaignStore::Replace() {
    if (auto old = Take()) old->Retire();
    auto fresh = std::make_shared<CampaignStore>();
    std::lock_guard lock(gCurrentMutex);
    gCurrent = fresh;
    return fresh;
}

void CampaignStore::Destroy() {
    if (auto old = Take()) old->Retire();
}

void CampaignStore::Install(std::shared_ptr<CampaignStore> store) {
    if (auto old = Take()) old->Retire();
    std::lock_guard lock(gCurrentMutex);
    gCurrent = std::move(store);
}

bool CampaignStore::Renumber(const std::vector<std::int32_t>& ids) {
    std::lock_guard lock(mutex_);
    if (retired_) return false;
    XmlNode contacts = ContactsLocked();
    std::size_t elements = 0;
    for (XmlNode child = contacts.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element) ++elements;
    }
    if (elements != ids.size()) return false;
    std::size_t at = 0;
    for (XmlNode child = contacts.first_child(); child;) {
        XmlNode next = child.next_sibling();
        if (child.type() != pugi::node_element) {
            contacts.remove_child(child);
            child = next;
            continue;
        }
        child.set_name(ContactElementName(ids[at++]).c_str());
        XmlNode first;
        for (const ContactField& field : kContactFields) {
            const std::string key(field.key);
            XmlNode value = child.child(key.c_str());
            value = value ? child.append_move(value) : child.append_child(key.c_str());
            if (!first) first = value;
        }
        while (child.first_child() != first) child.remove_child(child.first_child());
        child = next;
    }
    modified_ = true;
    InvalidateIndex();
    return true;
}

bool CampaignStore::Open(const std::string& path) {
    std::lock_guard lock(mutex_);
    path_ = path;
    InvalidateIndex();
    if (path.empty()) return true;
    return doc_.Open(path);
}

void CampaignStore::Bind(const std::string& path) {
    std::lock_guard lock(mutex_);
    path_ = path;
}

XmlNode CampaignStore::ContactsLocked() { return doc_.ChildElement(doc_.Root(), "contacts"); }

XmlNode CampaignStore::FindLocked(std::int32_t id) {
    if (!indexValid_) {
        index_.clear();
        for (XmlNode child = ContactsLocked().first_child(); child; child = child.next_sibling()) {
            index_.emplace(child.name(), child);  // keeps the first of each name
        }
        indexValid_ = true;
    }
    const auto it = index_.find(ContactElementName(id));
    return it == index_.end() ? XmlNode() : it->second;
}

bool CampaignStore::WriteContact(const Contact& contact, bool withDuration) {
    std::lock_guard lock(mutex_);
    modified_ = true;
    if (retired_) return false;
    XmlNode element = FindLocked(contact.id);
    const bool fresh = !element;
    if (fresh) {
        element = ContactsLocked().append_child(ContactElementName(contact.id).c_str());
        index_.emplace(element.name(), element);
    }
    for (const ContactField& field : kContactFields) {
        if (field.member == &Contact::ccon && !withDuration) continue;
        // A new element has no fields to look for: append them in order.
        XmlNode value = fresh ? element.append_child(std::string(field.key).c_str())
                              : doc_.ChildElement(element, field.key);
        XmlDocument::WriteText(value, contact.*field.member);
    }
    return true;
}

bool CampaignStore::HoldsCampaign() const {
    std::lock_guard lock(mutex_);
    const XmlNode root = doc_.ExistingRoot();
    if (!root) return true;
    if (std::string_view(root.name()) != "dialer") return false;
    if (root.child("contacts")) return true;
    for (XmlNode child = root.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element) return false;
    }
    return true;
}

int CampaignStore::ContactCount() {
    std::lock_guard lock(mutex_);
    int count = 0;
    for (XmlNode child = ContactsLocked().first_child(); child; child = child.next_sibling()) ++count;
    return count;
}

bool CampaignStore::ReadContact(int position, Contact& contact) {
    std::lock_guard lock(mutex_);
    if (position < 0) return false;
    XmlNode element;
    int at = 0;
    if (cursorPosition_ >= 0 && cursorPosition_ <= position && cursorNode_) {
        element = cursorNode_;
        at = cursorPosition_;
    } else {
        element = ContactsLocked().first_child();
    }
    for (; at < position && element; ++at) element = element.next_sibling();
    cursorPosition_ = element ? position : -1;
    cursorNode_ = element;
    if (!element || element.type() != pugi::node_element) return false;
    for (const ContactField& field : kContactFields) {
        contact.*field.member = XmlDocument::ReadText(doc_.ChildElement(element, field.key));
    }
    return true;
}

bool CampaignStore::UpdateCallInfo(std::int32_t id, const std::string& fname, const std::string& lname,
                                   const std::string& phone, const std::string& notes, const std::string& cstatus,
                                   const std::string& ccon) {
    std::lock_guard lock(mutex_);
    modified_ = true;
    if (retired_) return false;
    XmlNode element = FindLocked(id);
    if (!element) return false;
    const std::pair<const char*, const std::string*> fields[] = {
        {"fname", &fname}, {"lname", &lname}, {"phone", &phone}, {"notes", &notes}, {"cstatus", &cstatus},
        {"ccon", &ccon}};
    for (const auto& [key, text] : fields) XmlDocument::WriteText(doc_.ChildElement(element, key), *text);
    return true;
}

bool CampaignStore::UpdateContact(std::int32_t id, const Contact& contact) {
    std::lock_guard lock(mutex_);
    modified_ = true;
    if (retired_) return false;
    XmlNode element = FindLocked(id);
    if (!element) return false;
    static constexpr std::string_view kOrder[] = {"fname", "lname", "phone", "email", "website", "fax",
                                                  "company", "job", "street", "city", "state", "country",
                                                  "zip", "others", "notes", "cstatus", "ccon"};
    for (const std::string_view key : kOrder) {
        for (const ContactField& field : kContactFields) {
            if (field.key == key) XmlDocument::WriteText(doc_.ChildElement(element, key), contact.*field.member);
        }
    }
    return true;
}

bool CampaignStore::SetFieldLocked(std::int32_t id, std::string_view key, const std::string& text) {
    modified_ = true;
    if (retired_) return false;
    XmlNode element = FindLocked(id);
    if (!element) return false;
    XmlDocument::WriteText(doc_.ChildElement(element, key), text);
    return true;
}

bool CampaignStore::SetStatus(std::int32_t id, const std::string& text) {
    std::lock_guard lock(mutex_);
    return SetFieldLocked(id, "cstatus", text);
}

bool CampaignStore::SetCallTime(std::int32_t id, const std::string& text) {
    std::lock_guard lock(mutex_);
    return SetFieldLocked(id, "ctime", text);
}

bool CampaignStore::SetDuration(std::int32_t id, const std::string& text) {
    std::lock_guard lock(mutex_);
    return SetFieldLocked(id, "ccon", text);
}

bool CampaignStore::DeleteContact(std::int32_t id) {
    std::lock_guard lock(mutex_);
    modified_ = true;
    if (retired_) return false;
    XmlNode element = FindLocked(id);
    if (!element) return false;
    XmlDocument::RemoveFromParent(element);
    InvalidateIndex();  // a later element of the same name may now be the first
    return true;
}

bool CampaignStore::RemoveAllContacts() {
    std::lock_guard lock(mutex_);
    modified_ = true;
    if (retired_) return false;
    XmlNode contacts = ContactsLocked();
    while (XmlNode last = contacts.last_child()) contacts.remove_child(last);
    index_.clear();
    indexValid_ = true;
    cursorPosition_ = -1;
    return true;
}

bool CampaignStore::SaveLocked() {
    if (path_.empty() || !modified_) return true;
    // A campaign without contacts is still a campaign file: the next open
    // must find <dialer><contacts/>, not a bare declaration.
    ContactsLocked();
    modified_ = false;
    if (doc_.Save(path_)) return true;
    modified_ = true;
    return false;
}

bool CampaignStore::SaveIfModified() {
    std::lock_guard lock(mutex_);
    return SaveLocked();
}

void CampaignStore::Retire() {
    std::lock_guard lock(mutex_);
    if (!retired_) SaveLocked();
    retired_ = true;
}

std::string CampaignStore::path() const {
    std::lock_guard lock(mutex_);
    return path_;
}

bool CampaignStore::modified() const {
    std::lock_guard lock(mutex_);
    return modified_;
}

bool CampaignStore::hasPath() const {
    std::lock_guard lock(mutex_);
    return !path_.empty();
}

std::string CampaignStore::Serialize() const {
    std::lock_guard lock(mutex_);
    return doc_.Serialize();
}

}  // namespace zorvan
