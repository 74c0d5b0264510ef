#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/contact.h"
#include "data/xml_document.h"

namespace zorvan {

// The XML document of the open campaign, bound to its file, updated contact
// by contact. Every operation holds the store's lock throughout.
//
// One store is current for the process. Threads take the current one with
// Instance() and hold it for the length of an operation, so replacing it
// (Destroy, Replace) never pulls it from under a running operation; a store
// that was replaced saves what it had and then refuses further changes, so a
// late update can never write an old document over the new file.
class CampaignStore {
public:
    CampaignStore();

    static std::shared_ptr<CampaignStore> Instance();  // created on first use
    static std::shared_ptr<CampaignStore> Current();   // may be null
    // Retires the current store (saving it when modified) and installs a new one.
    static std::shared_ptr<CampaignStore> Replace();
    // Retires the current store (saving it when modified); none is current.
    static void Destroy();
    // Retires the current store and makes `store` the current one.
    static void Install(std::shared_ptr<CampaignStore> store);

    // Binds the store to a path and loads the file there, if any. False when
    // an existing file does not parse (the document is then empty).
    bool Open(const std::string& path);
    // Binds the store to a path keeping the document it has (no loading).
    void Bind(const std::string& path);
    bool WriteContact(const Contact& contact, bool withDuration);
    int ContactCount();
    // The document is a campaign: a "dialer" root with its "contacts", or
    // nothing yet. Another XML file (the settings share the root's name)
    // is not, and must never be rewritten as an empty campaign.
    bool HoldsCampaign() const;
    bool ReadContact(int position, Contact& contact);
    bool UpdateCallInfo(std::int32_t id, const std::string& fname, const std::string& lname, const std::string& phone,
                        const std::string& notes, const std::string& cstatus, const std::string& ccon);
    bool UpdateContact(std::int32_t id, const Contact& contact);
    bool SetStatus(std::int32_t id, const std::string& text);
    bool SetCallTime(std::int32_t id, const std::string& text);
    bool SetDuration(std::int32_t id, const std::string& text);
    bool DeleteContact(std::int32_t id);
    bool RemoveAllContacts();
    // Names the contact elements, in order, after `ids` and gives each the
    // 19 fields in file order (missing ones empty, anything else dropped),
    // so a document read from a file holds the contacts as the program does.
    // False, changing nothing, when the count does not match.
    bool Renumber(const std::vector<std::int32_t>& ids);
    // Writes the file when the store has a path and unsaved changes. A
    // failed write keeps the changes marked unsaved, so the next save
    // tries again.
    bool SaveIfModified();
    // Saves when modified, then refuses every further change.
    void Retire();

    std::string path() const;
    bool modified() const;
    bool hasPath() const;
    std::string Serialize() const;

private:
    XmlNode ContactsLocked();
    XmlNode FindLocked(std::int32_t id);
    bool SetFieldLocked(std::int32_t id, std::string_view key, const std::string& text);
    bool SaveLocked();
    void InvalidateIndex() {
        indexValid_ = false;
        cursorPosition_ = -1;
    }

    mutable std::mutex mutex_;
    std::string path_;
    XmlDocument doc_;
    bool modified_ = true;
    bool retired_ = false;
    // The first element of each name among the contacts, so that finding a
    // contact by id does not walk the whole campaign.
    std::unordered_map<std::string, XmlNode> index_;
    bool indexValid_ = false;
    // Where the last ReadContact was, so reading every contact in turn does
    // not walk from the first one each time.
    int cursorPosition_ = -1;
    XmlNode cursorNode_;
};

}  // namespace zorvan
