#pragma once

#include <QMainWindow>

#include <memory>
#include <optional>
#include <string>

#include "audio/audio_stream_server.h"
#include "app/command_line.h"
#include "data/settings.h"
#include "data/app_folders.h"
#include "platform/event_loop.h"
#include "ui/main_window_view.h"

class QSystemTrayIcon;

namespace zorvan {

class AutosaveThread;
class HttpGet;
class UpdatePromptThread;
class LaunchWaiter;
class CampaignRoom;
class ContactRoom;
class DialRoom;
class ReportRoom;
class CallController;
class ContactList;
class DoNotCallList;
class DoNotCallLoader;
class Folders;
class Prompts;
class Shell;
class CallAudioRouter;
class InputPortControl;
class SkypeConnector;
class SkypeTransport;
namespace audio {
class CaptureSource;
class InputPortSink;
}
namespace ui {
class CDlgStatusCheck;
class CDlgWaitingMsg;
}  // namespace ui

// What the main window needs from the platform; tests hand in their own.
struct DialerServices {
    EventLoop& loop;
    Prompts& prompts;
    Folders& folders;
    Shell& shell;
    // The link to the Skype client; none: the program runs without one.
    SkypeTransport* skype = nullptr;
    // The local audio ports; none: the program runs without call audio.
    std::optional<audio::AudioStreamServer::Ports> audioPorts = std::nullopt;
    // Whether a notification area exists; decided by the platform when unset.
    std::optional<bool> trayAvailable;
    // A campaign file to open at start-up in place of the last one.
    std::string openAtStart;
    // The update check's HTTP client; none: no check.
    HttpGet* http = nullptr;
};

// The main window and controller of the program. Initialize() runs the
// start-up order, Shutdown() the shutdown order (once).
class CDialerDlg final : public QMainWindow, public EventHandler {
    Q_OBJECT
public:
    explicit CDialerDlg(DialerServices services, QWidget* parent = nullptr);
    ~CDialerDlg() override;

    void Initialize();
    void Shutdown();
    // Shows the window normally (also from the tray or minimised) and raises it.
    void Activate();
    // --open and --dial of this start or of a second one: opens the file
    // (when given) and starts dialing once it is open and Skype is
    // connected, waiting up to a minute for both.
    void Launch(const std::string& open, std::optional<DialStart> dial, bool openedAtStart = false);
    static constexpr std::int64_t kLaunchWaitMs = 60000;

    bool closing() const { return closing_.isSet(); }
    bool connected() const { return connected_; }
    bool trayAvailable() const { return trayAvailable_; }
    const ui::MainWindowView& view() const { return view_; }
    const AppFolders& appFolders() const { return folders_; }
    ContactList* contacts() const { return contacts_.get(); }
    CampaignRoom* campaign() const { return campaign_.get(); }
    ContactRoom* contactRoom() const { return contactRoom_.get(); }
    DialRoom* dialRoom() const { return dial_.get(); }
    ReportRoom* reports() const { return reports_.get(); }
    ui::CDlgStatusCheck* statusCheck() const { return statusCheck_; }
    ui::CDlgWaitingMsg* waitingMsg() const { return waiting_; }
    int busyCount() const { return busyCount_; }
    bool statusCleared() const { return statusCleared_; }
    DoNotCallList* doNotCall() const { return doNotCall_.get(); }
    TargetId target() const { return target_ ? target_->id() : kNoTarget; }

    void OnEvent(const Event& event) override;

signals:
    void exitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
public:
    // A command of the menus, the toolbar's popups or the buttons.
    void OnCommand(int commandId);
    // "Options": the dialog, then ApplyOptions when confirmed.
    void ShowOptions();
    // A confirmed Options dialog's values: stored and saved; the
    // do-not-call list is looked at again whenever it is on; the contact
    // window's lists are refilled.
    void ApplyOptions(const SettingsData& values);

private:
    void ConnectCommands();
    void AddTrayIcon();
    void ApplyPlacement(const std::string& pos);
    void ShowConnection(std::uintptr_t userStatus);
    void ShowRefusal();
    void ShowPath(const std::string& path);
    void ShowRowMenu(std::int32_t id);
    void ShowStatusCheck(bool show);
    void SetBusy(bool busy);
    void StopDialing();
    std::string CurrentPos() const;

    DialerServices services_;
    ui::MainWindowView view_;
    QSystemTrayIcon* tray_ = nullptr;
    bool trayAvailable_ = false;
    AppFolders folders_;
    WaitEvent closing_{WaitEvent::Mode::Manual};
    bool initialized_ = false;
    bool shutDown_ = false;
    bool connected_ = false;
    SkypeConnector* connector_ = nullptr;
    CallController* controller_ = nullptr;
    std::unique_ptr<audio::InputPortSink> greetingSink_;
    std::unique_ptr<CampaignRoom> campaign_;
    std::unique_ptr<ContactRoom> contactRoom_;
    std::unique_ptr<DialRoom> dial_;
    std::unique_ptr<ReportRoom> reports_;
    std::unique_ptr<LaunchWaiter> launch_;
    std::unique_ptr<UpdatePromptThread> update_;
    std::unique_ptr<audio::CaptureSource> microphone_;
    ui::CDlgStatusCheck* statusCheck_ = nullptr;
    ui::CDlgWaitingMsg* waiting_ = nullptr;
    int busyCount_ = 0;  // file workers under way: the please-wait window stays up until the last ends
    bool statusCleared_ = false;
    std::unique_ptr<InputPortControl> inputPort_;
    std::unique_ptr<CallAudioRouter> router_;
    std::unique_ptr<ScopedTarget> target_;
    std::unique_ptr<AutosaveThread> autosave_;
    std::unique_ptr<ContactList> contacts_;
    std::unique_ptr<DoNotCallList> doNotCall_;
    std::unique_ptr<DoNotCallLoader> doNotCallLoader_;
};

}  // namespace zorvan
