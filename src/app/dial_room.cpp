#include "app/dial_room.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "app/campaign_room.h"
#include "app/contact_room.h"
#include "audio/audio_stream_server.h"
#include "data/campaign_store.h"
#include "data/contact_list.h"
#include "data/disposition_list.h"
#include "data/greeting_list.h"
#include "data/settings.h"
#include "skype/call_controller.h"
#include "skype/call_table.h"
#include "skype/skype_connector.h"
#include "ui/campaign_model.h"
#include "ui/contact_grid.h"
#include "ui/dlg_contact_msg.h"
#include "ui/dlg_dial_pad.h"
#include "ui/main_window_view.h"

namespace zorvan {

namespace {

SettingsData CurrentSettings() { return Settings::HasInstance() ? Settings::Instance().values() : SettingsData{}; }

// The call controller and the call table of the Skype link.
class ControllerCalls final : public DialCalls {
public:
    ControllerCalls(CallController* controller, SkypeConnector* connector)
        : controller_(controller), connector_(connector) {}
    bool Dial(const std::string& number) override { return controller_ != nullptr && controller_->Dial(number); }
    void Reset() override {
        if (controller_ != nullptr) controller_->Reset();
    }
    bool PlayGreeting(const std::string& path, bool hangUpAfter) override {
        return controller_ != nullptr && controller_->PlayGreeting(path, hangUpAfter);
    }
    bool StopGreeting() override { return controller_ != nullptr && controller_->StopGreeting(); }
    bool AttemptOpen() const override { return controller_ != nullptr && controller_->attemptOpen(); }
    bool HasLiveCall() const override { return connector_ != nullptr && connector_->callTable().HasLiveCall(); }
    std::pair<std::string, std::string> OldestActiveCall() const override {
        return connector_ != nullptr ? connector_->callTable().OldestActiveCall()
                                     : std::pair<std::string, std::string>{};
    }
    std::string PartnerOf(const std::string& id) const override {
        return connector_ != nullptr ? connector_->callTable().PartnerOf(id) : std::string();
    }

private:
    CallController* controller_;
    SkypeConnector* connector_;
};

// The process's audio server, whenever it exists.
class ServerAudio final : public DialAudio {
public:
    std::uint32_t StartDetection() override {
        auto* server = audio::AudioStreamServer::Instance();
        return server != nullptr ? server->StartDetection() : 0;
    }
    void DetectionTimeout() override {
        if (auto* server = audio::AudioStreamServer::Instance()) server->DetectionTimeout();
    }
    void AwaitGreetingEnd() override {
        if (auto* server = audio::AudioStreamServer::Instance()) server->AwaitGreetingEnd();
    }
    void CancelDetection() override {
        if (auto* server = audio::AudioStreamServer::Instance()) server->CancelDetection();
    }
    bool StartRecording(const std::string& path) override {
        auto* server = audio::AudioStreamServer::Instance();
        return server != nullptr && server->StartRecording(path);
    }
    void StopRecording() override {
        if (auto* server = audio::AudioStreamServer::Instance()) server->StopRecording();
    }
};

}  // namespace

std::string ProgressText(const DialProgress& progress, const std::string& name) {
    if (!progress.running) return {};
    std::string text;
    if (progress.redialPhase) {
        text = "Redialing: " + std::to_string(progress.retriesLeft) + " left";
    } else {
        text = "Dialed " + std::to_string(progress.placed) + " of " + std::to_string(progress.total);
    }
    if (!progress.current.empty()) text += " \xC2\xB7 " + (name.empty() ? progress.current : name + " (" + progress.current + ")");
    if (progress.paused) text += " \xC2\xB7 paused";
    if (!progress.waiting.empty()) text += " \xC2\xB7 " + progress.waiting;
    return text;
}

DialRoom::DialRoom(Services services) : services_(std::move(services)) {
    calls_ = std::make_unique<ControllerCalls>(services_.controller, services_.connector);
    audio_ = std::make_unique<ServerAudio>();
    engine_ = std::make_unique<DialEngine>(DialServices{services_.loop, services_.prompts, services_.campaign.rows(),
                                                        *calls_, *this, DispositionList::Instance(),
                                                        services_.doNotCall, CurrentSettings, services_.connected,
                                                        services_.closing});
    outcome_ = std::make_unique<CallOutcome>(CallOutcomeServices{
        services_.loop, services_.prompts, *engine_, *calls_, *audio_, *this, DispositionList::Instance(),
        GreetingList::Instance(), CurrentSettings, services_.connected, services_.mainWindow});
}

DialRoom::~DialRoom() {
    engine_->Shutdown();
    outcome_.reset();
    engine_.reset();
}

std::string DialRoom::progressText() const {
    return services_.view.progressText != nullptr ? services_.view.progressText->text().toStdString() : std::string();
}

void DialRoom::SetCell(std::int32_t id, int column, const std::string& text) {
    if (column >= 0) services_.campaign.model().SetCell(id, column, text);
}

void DialRoom::SelectRow(std::int32_t id) { services_.campaign.grid().ShowRow(id); }

void DialRoom::ShowStatus(std::int32_t id, int code, const std::string& text) {
    SetCell(id, services_.campaign.rows().columns().dispositionColumn(), text);
    if (WindowShows(id)) services_.contactRoom.window().SelectDisposition(code);
}

void DialRoom::RestoreStatus(std::int32_t id) {
    const std::optional<Contact> contact = services_.contacts.Find(id);
    if (contact) SetCell(id, services_.campaign.rows().columns().dispositionColumn(), contact->cstatus);
}

void DialRoom::WriteStatus(std::int32_t id, int code, const std::string& text) {
    services_.contactRoom.SetCallStatus(id, code, text);
}

void DialRoom::WriteCallTime(std::int32_t id, const std::string& text) {
    if (!services_.contacts.SetCallTime(id, text)) return;
    auto store = CampaignStore::Instance();
    if (store->hasPath()) store->SetCallTime(id, text);
    SetCell(id, services_.campaign.rows().columns().ColumnOf(&Contact::ctime), text);
}

void DialRoom::WriteDuration(std::int32_t id, const std::string& text) {
    if (!services_.contacts.SetDuration(id, text)) return;
    auto store = CampaignStore::Instance();
    if (store->hasPath()) store->SetDuration(id, text);
    SetCell(id, services_.campaign.rows().columns().durationColumn(), text);
}

void DialRoom::ShowButtons(const DialButtons& b) {
    ui::MainWindowView& v = services_.view;
    v.autoStart->setText(QString::fromStdString(b.autoStart));
    v.autoStart->setEnabled(b.autoStartEnabled);
    v.autoPause->setText(QString::fromStdString(b.autoPause));
    v.autoPause->setEnabled(b.autoPauseEnabled);
    v.semiStart->setText(QString::fromStdString(b.semiStart));
    v.semiStart->setEnabled(b.semiStartEnabled);
    v.semiNext->setEnabled(b.semiNextEnabled);
}

void DialRoom::ShowProgress(const DialProgress& progress) {
    ui::MainWindowView& v = services_.view;
    if (v.progress == nullptr || v.progressText == nullptr) return;
    v.progress->setVisible(progress.running);
    v.progressText->setVisible(progress.running);
    if (!progress.running) return;
    if (progress.redialPhase) {
        v.progress->setRange(0, 0);  // an unknown amount of work: the busy bar
    } else {
        const int total = static_cast<int>(std::max<std::size_t>(progress.total, 1));
        v.progress->setRange(0, total);
        v.progress->setValue(static_cast<int>(std::min<std::size_t>(progress.placed, progress.total)));
    }
    std::string name;
    if (progress.currentRow) {
        if (const auto contact = services_.contacts.Find(*progress.currentRow)) {
            name = contact->fname;
            if (!contact->lname.empty()) name += (name.empty() ? "" : " ") + contact->lname;
        }
    }
    v.progressText->setText(QString::fromStdString(ProgressText(progress, name)));
}

bool DialRoom::CampaignHasFile() const {
    const auto store = CampaignStore::Current();
    return store && store->hasPath();
}

void DialRoom::SaveCampaignAs(const std::string& path) {
    services_.campaign.WriteOut(path, true);
    services_.campaign.WaitForFileWork(200);
}

bool DialRoom::ClearCallStatuses() { return services_.campaign.ClearCallsStatus(); }

void DialRoom::ShowContact(std::int32_t id, bool bringToFront) { services_.contactRoom.ShowForCall(id, bringToFront); }

bool DialRoom::WindowShows(std::int32_t id) const { return services_.contactRoom.window().model().holds(id); }

void DialRoom::SetCallPhase(CallPhase phase) {
    services_.contactRoom.window().SetCallPhase(phase, CurrentSettings().autorec);
}

void DialRoom::SetRecordButton(bool recording) { services_.contactRoom.window().SetRecording(recording); }

void DialRoom::SelectGreeting(int data) { services_.contactRoom.window().SelectGreeting(data); }

std::optional<int> DialRoom::GreetingChoice() const { return services_.contactRoom.window().greetingChoice(); }

void DialRoom::GreetingNotStarted() { services_.contactRoom.window().GreetingFinished(); }

void DialRoom::ShowGreetingProgress(int percent) { services_.contactRoom.window().ShowProgress(percent); }

void DialRoom::SetCallRecording(std::int32_t id, const std::string& path) {
    services_.contactRoom.SetCallRecording(id, path);
}

void DialRoom::ClearDialPadDisplay() { services_.contactRoom.mainPad().ClearDisplay(); }

}  // namespace zorvan
