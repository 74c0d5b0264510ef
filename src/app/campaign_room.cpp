#include "app/campaign_room.h"

#include <unordered_set>

#include "data/campaign_convert.h"
#include "data/contact_import.h"
#include "data/phone_numbers.h"
#include "data/text_file.h"
#include "ui/dlg_import_contacts.h"

#include <filesystem>

#include "data/campaign_store.h"
#include "data/contact_list.h"
#include "data/disposition_list.h"
#include "data/greeting_list.h"
#include "data/settings.h"
#include "data/status_text.h"
#include "dial/local_time.h"
#include "platform/prompts.h"
#include "platform/um_events.h"
#include "ui/campaign_model.h"
#include "ui/contact_grid.h"
#include "ui/dlg_customize_columns.h"

namespace zorvan {

namespace {

// Private to the room: an open worker has read its file; file work ended.
constexpr std::uint32_t kOpenRead = 0x7F01;
constexpr std::uint32_t kFileWorkDone = 0x7F02;

constexpr const char* kCampaignFilter = "XML Campaign Files (*.xml)";

}  // namespace

CampaignRoom::CampaignRoom(Services services, QWidget* gridParent)
    : services_(std::move(services)), target_(services_.loop, *this) {
    bool customize = false;
    std::string fields = "11100000000000";
    if (Settings::HasInstance()) {
        customize = Settings::Instance().get(&SettingsData::customize);
        fields = Settings::Instance().get(&SettingsData::fields);
    }
    rows_ = CampaignRows(GridColumns::Build(customize, fields));
    model_ = std::make_unique<ui::CampaignModel>(rows_);
    grid_ = new ui::ContactGrid(*model_, services_.prompts, gridParent);
}

CampaignRoom::~CampaignRoom() {
    for (Worker& worker : workers_) {
        if (worker.thread.joinable()) worker.thread.join();
    }
}

void CampaignRoom::Spawn(std::function<void()> work) {
    // Workers that have ended are joined as new ones start (a finished
    // thread stays joinable, and holds its resources, until it is joined).
    std::erase_if(workers_, [](Worker& worker) {
        if (!*worker.done) return false;
        worker.thread.join();
        return true;
    });
    auto done = std::make_shared<std::atomic<bool>>(false);
    workers_.push_back({services_.loop.spawn([work = std::move(work), done] {
                            work();
                            *done = true;
                        }),
                        done});
}

void CampaignRoom::PostBusy(bool busy) {
    if (services_.busyTarget != kNoTarget) services_.loop.post(services_.busyTarget, {um::UM_BUSY, busy ? 1u : 0u, 0});
}

std::string CampaignRoom::TempCampaignPath() const {
    return services_.documentsFolder + "Temp-" + LocalTimeText(services_.loop.wallNow(), "%Y-%m-%d_%H-%M-%S") + "-Campaign.xml";
}

void CampaignRoom::NewCampaign() {
    if (services_.stopDialing) services_.stopDialing();
    services_.contacts.Clear();
    model_->Reset([this] { rows_.Clear(); });
    CampaignStore::Replace();  // the old one saves what it had; the new one has no file
}

void CampaignRoom::InsertContact(std::int64_t sliceMs) {
    Contact contact;
    contact.id = model_->InsertContact(contact);
    services_.contacts.Append(contact);
    auto store = CampaignStore::Instance();
    if (store->hasPath()) store->WriteContact(contact, true);
    grid_->ShowRow(contact.id);
    grid_->edit(model_->IndexOf(contact.id, 0));
    if (store->hasPath()) return;
    WriteOut(TempCampaignPath(), false);
    WaitForFileWork(sliceMs);
}

void CampaignRoom::RemoveCurrentCampaign() {
    NewCampaign();
    if (services_.showPath) services_.showPath({});
    if (!Settings::HasInstance()) return;
    Settings::Instance().set(&SettingsData::lastcamp, std::string());
    Settings::Instance().Save(DispositionList::Instance(), GreetingList::Instance());
}

void CampaignRoom::ImportCampaignFile() {
    FileDialogRequest request;
    request.caption = "Import Campaign File";
    request.folder = services_.documentsFolder;
    request.defaultSuffix = "xml";
    request.filter = kCampaignFilter;
    if (const auto path = services_.prompts.openFile(request)) Open(*path);
}

void CampaignRoom::ImportCsvFile(QWidget* parent) {
    FileDialogRequest request;
    request.caption = "Import CSV File";
    request.folder = services_.documentsFolder;
    request.defaultSuffix = "csv";
    request.filter = "CSV Files (*.csv)";
    request.confirmOverwrite = false;
    const auto path = services_.prompts.openFile(request);
    if (!path) return;
    std::vector<std::vector<std::string>> rows;
    PostBusy(true);
    try {
        rows = ReadCsvRows(*path);
    } catch (const FileError& e) {
        PostBusy(false);
        // The open campaign stays as it was.
        services_.prompts.messageBox("Zorvan Dialer", std::string("The file could not be read:\n") + e.what(),
                                     PromptIcon::Error, PromptButtons::Ok);
        return;
    }
    PostBusy(false);
    if (rows.empty()) {
        services_.prompts.messageBox("Zorvan Dialer", "The file holds no rows:\n" + *path, PromptIcon::Warning,
                                     PromptButtons::Ok);
        return;
    }
    ui::CDlgImportContacts dialog(rows, services_.prompts, services_.shell, parent);
    if (dialog.exec() != QDialog::Accepted) return;
    ImportMapping mapping = dialog.mapping();
    mapping.region = phone::RegionOf(Settings::HasInstance() ? Settings::Instance().get(&SettingsData::countrycode)
                                                             : SettingsData{}.countrycode);
    std::unordered_set<std::string> phones;
    if (mapping.skipDuplicates) {
        for (const Contact& c : services_.contacts.Snapshot()) {
            if (!c.phone.empty()) phones.insert(PhoneKey(c.phone, mapping.region));
        }
    }
    rows.erase(rows.begin());
    ImportContacts(ConvertRows(std::move(rows), mapping, std::move(phones)));
}

void CampaignRoom::ImportContacts(std::vector<Contact> imported) {
    if (services_.stopDialing) services_.stopDialing();
    PostBusy(true);
    model_->Reset([&] {
        for (Contact& contact : imported) {
            contact.id = 0;  // a fresh id that no row and no element of the file has
            contact.id = rows_.Insert(contact);
        }
    });
    grid_->ApplyColumns();
    services_.contacts.Append(std::move(imported));
    PostBusy(false);
    // The file follows on a worker, whole, under the same ids; a campaign
    // without one gets its Temp file.
    auto store = CampaignStore::Instance();
    if (store->hasPath()) {
        WriteOut(store->path(), true);
        return;
    }
    WriteOut(TempCampaignPath(), false);
    WaitForFileWork(500);
}

void CampaignRoom::ExportCampaignFile() {
    FileDialogRequest request;
    request.caption = "Export Campaign File";
    request.folder = services_.documentsFolder;
    request.defaultName = LocalTimeText(services_.loop.wallNow(), "%Y-%m-%d") + "-Campaign.xml";
    request.defaultSuffix = "xml";
    request.filter = kCampaignFilter;
    request.confirmOverwrite = true;
    // A file the user agreed to replace holds exactly this campaign.
    if (const auto path = services_.prompts.saveFile(request)) WriteOut(*path, true);
}

bool CampaignRoom::ClearCallsStatus() {
    const int column = rows_.columns().dispositionColumn();
    auto store = CampaignStore::Instance();
    const bool cleared = ClearAllStatuses(services_.prompts, services_.contacts, [&](std::int32_t id) {
        model_->SetCell(id, column, {});
        // The file too: otherwise the next save would bring the statuses back.
        if (store->hasPath()) store->SetStatus(id, {});
    });
    if (cleared && services_.onStatusCleared) services_.onStatusCleared();
    return cleared;
}

void CampaignRoom::CustomizeColumns(QWidget* parent) {
    if (!Settings::HasInstance()) return;
    Settings& settings = Settings::Instance();
    const bool customize = settings.get(&SettingsData::customize);
    const std::string fields = settings.get(&SettingsData::fields);
    ui::CDlgCustomizeDisplayColumn dialog(customize, fields, parent);
    if (dialog.exec() != QDialog::Accepted) return;
    settings.set(&SettingsData::customize, dialog.customize());
    settings.set(&SettingsData::fields, dialog.fields());
    settings.Save(DispositionList::Instance(), GreetingList::Instance());
    // "0" and "1" have no letter case, so the comparison is exact.
    if (dialog.customize() == customize && dialog.fields() == fields) return;
    PostBusy(true);
    ApplyColumns(dialog.customize(), dialog.fields());
    PostBusy(false);
}

void CampaignRoom::ApplyColumns(bool customize, const std::string& fields) {
    const std::vector<Contact> contacts = services_.contacts.Snapshot();
    model_->Reset([&] { rows_.Rebuild(GridColumns::Build(customize, fields), contacts); });
}

void CampaignRoom::Open(const std::string& path) {
    if (services_.showPath) services_.showPath(path);
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(path, error)) return;  // the line keeps the path
    PostBusy(true);
    ++running_;
    Spawn([this, path] {
        CampaignFileRead read = ReadCampaignFile(path);
        {
            std::lock_guard lock(mutex_);
            opened_.push_back({path, std::move(read)});
        }
        services_.loop.post(target_.id(), {kOpenRead, 0, 0});
    });
}

void CampaignRoom::ApplyOpened(CampaignFileRead read, const std::string& path) {
    if (read.result != CampaignOpenResult::Opened) {
        if (read.result == CampaignOpenResult::Unreadable) TellUnreadable(services_.prompts, path);
        PostBusy(false);
        --running_;
        return;
    }
    NewCampaign();
    model_->Reset([&] {
        for (Contact& contact : read.contacts) {
            contact.id = 0;  // fresh ids, written back to the file below
            contact.id = rows_.Insert(contact);
        }
    });
    grid_->ApplyColumns();
    // The file gets the contacts under their ids (the document that read it,
    // renumbered, or a new one; written by a worker); then the list takes
    // them over, without copies.
    std::vector<std::int32_t> ids;
    ids.reserve(read.contacts.size());
    for (const Contact& contact : read.contacts) ids.push_back(contact.id);
    std::shared_ptr<CampaignStore> store;
    if (read.document && read.document->Renumber(ids)) {
        store = std::move(read.document);
        CampaignStore::Install(store);
    } else {
        store = RebindCampaign(path, read.contacts);
    }
    for (Contact& contact : read.contacts) services_.contacts.Append(std::move(contact));
    read.contacts = {};
    Spawn([this, store] {
        store->SaveIfModified();
        PostBusy(false);
        --running_;
        services_.loop.post(target_.id(), {kFileWorkDone, 0, 0});
    });
}

void CampaignRoom::WriteOut(const std::string& path, bool exact) {
    if (path.empty()) return;
    if (services_.showPath) services_.showPath(path);
    ++running_;
    Spawn([this, path, exact, contacts = services_.contacts.Snapshot()] {
        CampaignHooks hooks{services_.loop, services_.busyTarget, {}, {}, {}};
        WriteOutCampaign(path, hooks, contacts, false, exact);
        --running_;
        services_.loop.post(target_.id(), {kFileWorkDone, 0, 0});
    });
}

void CampaignRoom::WriteOutAtExit(const std::string& path) {
    ++running_;
    Spawn([this, path, contacts = services_.contacts.Snapshot()] {
        CampaignHooks hooks{services_.loop, kNoTarget, {}, {}, {}};
        WriteOutCampaign(path, hooks, contacts, true);
        --running_;
    });
    WaitForFileWork(500);
}

void CampaignRoom::WaitForFileWork(std::int64_t sliceMs) {
    while (running_ > 0) services_.loop.pumpWait(sliceMs);
}

void CampaignRoom::RowEdited(std::int32_t id) {
    const auto* cells = rows_.CellsOf(id);
    std::optional<Contact> contact = services_.contacts.Find(id);
    if (cells == nullptr || !contact) return;
    // The cells the grid shows go into the contact; hidden fields, the call
    // time and the recording stay as they were.
    rows_.columns().Merge(*contact, *cells);
    services_.contacts.Update(id, *contact);
    services_.contacts.SetDuration(id, contact->ccon);
    auto store = CampaignStore::Instance();
    if (store->hasPath()) store->UpdateContact(id, *contact);
}

void CampaignRoom::RowDeleted(std::int32_t id) {
    services_.contacts.Remove(id);
    auto store = CampaignStore::Instance();
    if (store->hasPath()) store->DeleteContact(id);
}

void CampaignRoom::OnEvent(const Event& event) {
    if (event.id != kOpenRead) return;
    std::vector<Opened> opened;
    {
        std::lock_guard lock(mutex_);
        opened.swap(opened_);
    }
    for (Opened& one : opened) ApplyOpened(std::move(one.read), one.path);
}

}  // namespace zorvan
