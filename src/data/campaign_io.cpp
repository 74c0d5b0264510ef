#include "data/campaign_io.h"

#include <filesystem>
#include <memory>

#include "data/campaign_store.h"
#include "data/contact_list.h"
#include "data/xml_document.h"
#include "platform/prompts.h"
#include "platform/um_events.h"

namespace zorvan {

namespace {

void PostBusy(const CampaignHooks& hooks, bool busy) {
    if (hooks.busyTarget != kNoTarget) hooks.loop.post(hooks.busyTarget, {um::UM_BUSY, busy ? 1u : 0u, 0});
}

}  // namespace

CampaignFileRead ReadCampaignFile(const std::string& path) {
    CampaignFileRead read;
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec)) return read;
    auto reading = std::make_shared<CampaignStore>();
    if (!reading->Open(path) || !reading->HoldsCampaign()) {
        read.result = CampaignOpenResult::Unreadable;
        return read;
    }
    const int count = reading->ContactCount();
    read.contacts.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        Contact contact;
        if (reading->ReadContact(i, contact)) read.contacts.push_back(std::move(contact));
    }
    read.result = CampaignOpenResult::Opened;
    read.document = std::move(reading);
    return read;
}

void TellUnreadable(Prompts& prompts, const std::string& path) {
    prompts.messageBox("Zorvan Dialer", "The campaign file could not be read:\n" + path +
                                            "\n\nIt is not a valid campaign file. It was left as it is.",
                       PromptIcon::Error, PromptButtons::Ok);
}

std::shared_ptr<CampaignStore> RebindCampaign(const std::string& path, const std::vector<Contact>& contacts) {
    // A fresh document renamed over the old file when saved: the file then
    // holds the contacts under their new ids.
    auto store = CampaignStore::Replace();
    store->Bind(path);
    for (const Contact& contact : contacts) store->WriteContact(contact, true);
    return store;
}

CampaignOpenResult OpenCampaign(const std::string& path, const CampaignHooks& hooks, ContactList& contacts,
                                Prompts& prompts) {
    // Read the file before anything of the open campaign is given up: a file
    // that does not parse leaves everything as it was.
    CampaignFileRead read = ReadCampaignFile(path);
    if (read.result == CampaignOpenResult::NoFile) return read.result;
    if (read.result == CampaignOpenResult::Unreadable) {
        TellUnreadable(prompts, path);
        return read.result;
    }

    CampaignStore::Destroy();
    PostBusy(hooks, true);
    if (hooks.resetForOpen) hooks.resetForOpen();
    contacts.Clear();
    for (std::size_t i = 0; i < read.contacts.size(); ++i) {
        Contact& contact = read.contacts[i];
        contact.id = hooks.insertIntoGrid ? hooks.insertIntoGrid(contact) : static_cast<std::int32_t>(i + 1);
        contacts.Append(contact);
    }
    if (hooks.expandRoot) hooks.expandRoot();

    const bool saved = RebindCampaign(path, contacts.Snapshot())->SaveIfModified();
    PostBusy(hooks, false);
    return saved ? CampaignOpenResult::Opened : CampaignOpenResult::NotSaved;
}

bool WriteOutCampaign(const std::string& path, const CampaignHooks& hooks, const std::vector<Contact>& contacts,
                      bool closing, bool exact) {
    if (path.empty()) return false;
    CampaignStore::Destroy();
    if (!closing) PostBusy(hooks, true);
    auto store = CampaignStore::Replace();
    if (closing || exact) {
        // The file is to hold exactly the list: no need to read it first.
        store->Bind(path);
        store->RemoveAllContacts();
    } else {
        store->Open(path);
    }
    for (const Contact& contact : contacts) store->WriteContact(contact, true);
    const bool saved = store->SaveIfModified();
    if (!closing) PostBusy(hooks, false);
    return saved;
}

}  // namespace zorvan
