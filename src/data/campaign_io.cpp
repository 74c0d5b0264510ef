#include "data/campaign_io.h"

#include <filesystem>

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

CampaignOpenResult OpenCampaign(const std::string& path, const CampaignHooks& hooks, ContactList& contacts,
                                Prompts& prompts) {
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec)) return CampaignOpenResult::NoFile;

    // Read the file before anything of the open campaign is given up: a file
    // that does not parse leaves everything as it was.
    auto reading = std::make_shared<CampaignStore>();
    if (!reading->Open(path)) {
        prompts.messageBox("Zorvan Dialer", "The campaign file could not be read:\n" + path +
                                                "\n\nIt is not a valid campaign file. It was left as it is.",
                           PromptIcon::Error, PromptButtons::Ok);
        return CampaignOpenResult::Unreadable;
    }

    CampaignStore::Destroy();
    PostBusy(hooks, true);
    if (hooks.resetForOpen) hooks.resetForOpen();
    contacts.Clear();

    const int count = reading->ContactCount();
    for (int i = 0; i < count; ++i) {
        Contact contact;
        if (!reading->ReadContact(i, contact)) continue;
        contact.id = hooks.insertIntoGrid ? hooks.insertIntoGrid(contact) : i + 1;
        contacts.Append(contact);
    }
    if (hooks.expandRoot) hooks.expandRoot();

    // The file now gets the contacts under their new ids, written whole into a
    // fresh document and renamed over the old file.
    auto store = CampaignStore::Replace();
    store->Bind(path);
    for (const Contact& contact : contacts.Snapshot()) store->WriteContact(contact, true);
    const bool saved = store->SaveIfModified();
    PostBusy(hooks, false);
    return saved ? CampaignOpenResult::Opened : CampaignOpenResult::NotSaved;
}

bool WriteOutCampaign(const std::string& path, const CampaignHooks& hooks, const std::vector<Contact>& contacts,
                      bool closing) {
    if (path.empty()) return false;
    CampaignStore::Destroy();
    if (!closing) PostBusy(hooks, true);
    auto store = CampaignStore::Replace();
    if (closing) {
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
