#include "app/contact_room.h"

#include <QWidget>

#include "app/campaign_room.h"
#include "data/campaign_store.h"
#include "data/contact_list.h"
#include "data/disposition_list.h"
#include "data/greeting_list.h"
#include "data/settings.h"
#include "dial/contact_window_model.h"
#include "skype/call_controller.h"
#include "skype/skype_connector.h"
#include "ui/campaign_model.h"
#include "ui/dlg_contact_msg.h"
#include "ui/dlg_dial_pad.h"

namespace zorvan {

namespace {
bool Setting(bool SettingsData::*field) { return Settings::HasInstance() && Settings::Instance().get(field); }
}  // namespace

ContactRoom::ContactRoom(Services services, QWidget* mainWindow) : services_(services) {
    const auto tone = [this](char key) { SendTone(key); };
    window_ = new ui::CDlgContactMsg(services_.loop, services_.mainWindow, services_.prompts, tone, mainWindow);
    // The main window's own pad, docked 5 pixels away on both axes.
    mainPad_ = new ui::CDlgDialPad(mainWindow, 5, 5, tone);
    Refill();
    if (mainWindow != nullptr) {
        window_->adjustSize();
        window_->move(mainWindow->geometry().center() - window_->rect().center());
    }
}

ContactRoom::~ContactRoom() {
    delete window_;  // with its own pad
    delete mainPad_;
}

void ContactRoom::Refill() {
    window_->FillGreetings(Setting(&SettingsData::leavemsgtotam), Setting(&SettingsData::msgtohuman),
                           GreetingList::Instance().Entries());
    window_->FillDispositions(DispositionList::Instance().Entries());
    window_->SetPresetNotes(Settings::HasInstance() ? Settings::Instance().get(&SettingsData::notes) : std::string());
}

void ContactRoom::WriteBack() {
    const auto& shown = window_->model().contact();
    if (!shown) return;
    // A contact deleted since it was loaded is never written again.
    const std::optional<Contact> current = services_.contacts.Find(shown->id);
    if (!current) return;
    const std::optional<Contact> contact = window_->ReadBack(*current);
    if (!contact) return;
    services_.contacts.Update(contact->id, *contact);
    services_.campaign.model().RefreshContact(*contact);
    auto store = CampaignStore::Instance();
    if (store->hasPath()) store->WriteContact(*contact, false);
}

void ContactRoom::Show(const Contact& contact, bool withDisposition) {
    if (window_->model().contact() && !window_->model().holds(contact.id)) WriteBack();
    window_->ShowContact(contact, withDisposition, !Setting(&SettingsData::donotpopcinfo),
                         Setting(&SettingsData::autorec));
}

void ContactRoom::ShowForCall(std::int32_t id, bool show) {
    if (!window_->model().holds(id)) {
        const std::optional<Contact> contact = services_.contacts.Find(id);
        if (!contact) return;
        if (window_->model().contact()) WriteBack();
        window_->ShowContact(*contact, false, show, Setting(&SettingsData::autorec));
        return;
    }
    if (show) {
        window_->show();
        window_->raise();
        window_->activateWindow();
    }
}

void ContactRoom::ViewEdit(std::int32_t id) {
    const std::optional<Contact> contact = services_.contacts.Find(id);
    if (!contact) return;
    Show(*contact, true);
    if (window_->model().holds(id)) window_->SetCallPhase(CallPhase::Edit, Setting(&SettingsData::autorec));
}

void ContactRoom::SetCallRecording(std::int32_t id, const std::string& path) {
    std::optional<Contact> contact = services_.contacts.Find(id);
    if (!contact) return;  // deleted meanwhile: nothing is written
    contact->recfile = path;
    services_.contacts.Update(id, *contact);
    auto store = CampaignStore::Instance();
    if (store->hasPath()) store->WriteContact(*contact, false);
    if (window_->model().holds(id)) window_->SetRecordedFile(path);
}

void ContactRoom::SetCallStatus(std::int32_t id, int code, const std::string& text) {
    if (!services_.contacts.SetStatus(id, text)) return;
    CampaignRows& rows = services_.campaign.rows();
    services_.campaign.model().SetCell(id, rows.columns().dispositionColumn(), text);
    auto store = CampaignStore::Instance();
    if (store->hasPath()) store->SetStatus(id, text);
    if (window_->model().holds(id)) window_->SelectDisposition(code);
}

void ContactRoom::SendTone(char key) {
    if (services_.connector == nullptr) return;
    const std::string own = services_.controller != nullptr ? services_.controller->ownCallId() : std::string();
    const std::string id = DtmfCallId(services_.connector->callTable(), own);
    if (!id.empty()) services_.connector->SendDtmf(id, std::string(1, key));
}

}  // namespace zorvan
