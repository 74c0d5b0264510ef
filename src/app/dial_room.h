#pragma once

#include <functional>
#include <memory>

#include "dial/call_outcome.h"
#include "dial/dial_engine.h"
#include "dial/dial_ports.h"
#include "platform/event_loop.h"

namespace zorvan {

class CallController;
class CampaignRoom;
class ContactList;
class ContactRoom;
class DoNotCallList;
class Prompts;
class SkypeConnector;
namespace ui {
struct MainWindowView;
}

// The dial loop and the call outcome handling as the main window carries
// them: the engine and the handlers, the controller and the audio server
// behind their small interfaces, and the widgets they keep in step (the
// grid's cells, the contact window, the dialing buttons, the progress line).
// UI thread only.
class DialRoom final : public DialView {
public:
    struct Services {
        EventLoop& loop;
        Prompts& prompts;
        ContactList& contacts;
        CampaignRoom& campaign;
        ContactRoom& contactRoom;
        ui::MainWindowView& view;
        TargetId mainWindow;
        CallController* controller = nullptr;  // none: the program runs without Skype
        SkypeConnector* connector = nullptr;
        const DoNotCallList* doNotCall = nullptr;
        std::function<bool()> connected;
        std::function<bool()> closing;
    };

    explicit DialRoom(Services services);
    ~DialRoom() override;
    DialRoom(const DialRoom&) = delete;
    DialRoom& operator=(const DialRoom&) = delete;

    DialEngine& engine() { return *engine_; }
    CallOutcome& outcome() { return *outcome_; }
    // The progress line's text, as shown.
    std::string progressText() const;

    // DialView.
    void SelectRow(std::int32_t id) override;
    void ShowStatus(std::int32_t id, int code, const std::string& text) override;
    void RestoreStatus(std::int32_t id) override;
    void WriteStatus(std::int32_t id, int code, const std::string& text) override;
    void WriteCallTime(std::int32_t id, const std::string& text) override;
    void WriteDuration(std::int32_t id, const std::string& text) override;
    void ShowButtons(const DialButtons& buttons) override;
    void ShowProgress(const DialProgress& progress) override;
    bool CampaignHasFile() const override;
    void SaveCampaignAs(const std::string& path) override;
    bool ClearCallStatuses() override;
    void ShowContact(std::int32_t id, bool bringToFront) override;
    bool WindowShows(std::int32_t id) const override;
    void SetCallPhase(CallPhase phase) override;
    void SetRecordButton(bool recording) override;
    void SelectGreeting(int data) override;
    std::optional<int> GreetingChoice() const override;
    void GreetingNotStarted() override;
    void ShowGreetingProgress(int percent) override;
    void SetCallRecording(std::int32_t id, const std::string& path) override;
    void ClearDialPadDisplay() override;

private:
    void SetCell(std::int32_t id, int column, const std::string& text);

    Services services_;
    std::unique_ptr<DialCalls> calls_;
    std::unique_ptr<DialAudio> audio_;
    std::unique_ptr<DialEngine> engine_;
    std::unique_ptr<CallOutcome> outcome_;
};

// The progress line of a running campaign.
std::string ProgressText(const DialProgress& progress, const std::string& name);

}  // namespace zorvan
