#include "app/dialer_dlg.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>

#include "ui/web_pages.h"
#include "app/window_placement.h"
#include "audio/record/call_recorder.h"
#include "data/campaign_io.h"
#include "data/campaign_store.h"
#include "data/contact_list.h"
#include "data/disposition_list.h"
#include "data/do_not_call.h"
#include "data/do_not_call_loader.h"
#include "data/greeting_list.h"
#include "data/settings.h"
#include "dial/autosave_thread.h"
#include "platform/folders.h"
#include "platform/prompts.h"
#include "platform/shell.h"
#include "platform/um_events.h"
#include "skype/audio_routing.h"
#include "skype/server_input_port.h"
#include "skype/skype_connector.h"
#include "app/campaign_room.h"
#include "app/contact_room.h"
#include "app/dial_room.h"
#include "app/launch_waiter.h"
#include "app/report_room.h"
#include "update/update_check.h"
#include "platform/qt/qt_capture_source.h"
#include "ui/dlg_options.h"

#include <iostream>
#include "ui/dlg_contact_msg.h"
#include "ui/dlg_dial_pad.h"
#include "data/grid_columns.h"
#include "skype/attach_status.h"
#include "skype/call_controller.h"
#include "ui/app_icon.h"
#include "ui/campaign_model.h"
#include "ui/contact_grid.h"
#include "ui/status_dialogs.h"
#include "ui/clickable_label.h"

namespace zorvan {

namespace {
// Private to the window: the update check found a newer version.
constexpr std::uint32_t kUpdateAvailable = 0x7D10;
constexpr int kDefaultWidth = 900;
constexpr int kDefaultHeight = 600;
}  // namespace

CDialerDlg::CDialerDlg(DialerServices services, QWidget* parent)
    : QMainWindow(parent), services_(services) {
    view_ = ui::BuildMainWindowView(*this);
    ConnectCommands();
    // The connection label is a link to the help page while Skype is not there.
    connect(view_.connection, &ui::ClickableLabel::clicked, this, [this] {
        if (!connected_) services_.shell.Open(web::kAccessSkype);
    });
}

CDialerDlg::~CDialerDlg() {
    Shutdown();
}

void CDialerDlg::ConnectCommands() {
    QList<QAction*> actions = menuBar()->findChildren<QAction*>();
    actions += view_.trayMenu->actions();
    for (QPushButton* button : view_.toolbar) {
        for (QMenu* popup : button->findChildren<QMenu*>()) actions += popup->actions();
    }
    for (QAction* action : actions) {
        bool ok = false;
        const int id = action->data().toInt(&ok);
        if (!ok || id == 0) continue;
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    }
    // The buttons that are commands themselves (the others open their popup).
    for (QPushButton* button : findChildren<QPushButton*>()) {
        bool ok = false;
        const int id = button->property("commandId").toInt(&ok);
        if (!ok || id == 0 || !button->findChildren<QMenu*>().isEmpty()) continue;
        connect(button, &QPushButton::clicked, this, [this, id] { OnCommand(id); });
    }
}

void CDialerDlg::OnCommand(int commandId) {
    if (campaign_) {
        switch (commandId) {
            case ui::cmd::kNewCampaign:  // menu and popup alike clear the path line
                campaign_->NewCampaign();
                ShowPath({});
                return;
            case ui::cmd::kInsertContact:
                campaign_->InsertContact(2000);
                return;
            case ui::cmd::kPopupInsertContact:
                campaign_->InsertContact(500);
                return;
            case ui::cmd::kRemoveCampaign:
                campaign_->RemoveCurrentCampaign();
                return;
            case ui::cmd::kImportCampaign:
                campaign_->ImportCampaignFile();
                return;
            case ui::cmd::kImportCsv:
                campaign_->ImportCsvFile(this);
                return;
            case ui::cmd::kExportCampaign:
                campaign_->ExportCampaignFile();
                return;
            case ui::cmd::kClearStatus:
                if (campaign_->ClearCallsStatus() && dial_) dial_->engine().ResetWalk();
                return;
            case ui::cmd::kCustomizeColumns:
                campaign_->CustomizeColumns(this);
                return;
            case ui::cmd::kButtonDialPad:
                if (contactRoom_) contactRoom_->mainPad().Toggle();
                return;
            default:
                break;
        }
    }
    if (reports_) {
        switch (commandId) {
            case ui::cmd::kExportCsv:
            case ui::cmd::kPopupCsvReport:
                reports_->ExportCsv(CsvHeading::CallStatus);
                return;
            case ui::cmd::kCsvReport:
                reports_->ExportCsv(CsvHeading::CallDisposition);
                return;
            case ui::cmd::kWebReport:
                reports_->HtmlReport();
                return;
            default:
                break;
        }
    }
    if (dial_) {
        switch (commandId) {
            case ui::cmd::kAutoStart:
                dial_->engine().OnAutoButton();
                return;
            case ui::cmd::kAutoPause:
                dial_->engine().OnPauseButton();
                return;
            case ui::cmd::kSemiStart:
                dial_->engine().OnSemiButton();
                return;
            case ui::cmd::kSemiNext:
                dial_->engine().OnDialNext();
                return;
            default:
                break;
        }
    }
    switch (commandId) {
        case ui::cmd::kExit:
        case ui::cmd::kTrayExit:
            emit exitRequested();
            break;
        case ui::cmd::kSilentMode:
        case ui::cmd::kButtonSkypeState:
            if (connector_ != nullptr) connector_->SetSilentMode();
            break;
        case ui::cmd::kOptions:
            ShowOptions();
            break;
        case ui::cmd::kOnlineHelp:
            services_.shell.Open(web::kOnlineHelp);
            break;
        case ui::cmd::kAbout:
            services_.prompts.messageBox("About Zorvan Dialer",
                                         "Version 1.2.5.21\n\nZorvan Dialer for Skype\n"
                                         "Calls a campaign of contacts through the Skype client.",
                                         PromptIcon::Information, PromptButtons::Ok);
            break;
        default:
            break;  // commands of parts of the program still to come
    }
}

void CDialerDlg::ShowOptions() {
    if (!Settings::HasInstance()) return;
    Settings& settings = Settings::Instance();
    if (!microphone_) microphone_ = std::make_unique<QtCaptureSource>();
    ui::CDlgOptions dialog({services_.prompts, services_.shell, DispositionList::Instance(), GreetingList::Instance(),
                            microphone_.get(), [] { return Settings::Instance().get(&SettingsData::threshold); },
                            [](int t) { Settings::Instance().set(&SettingsData::threshold, t); }},
                           settings.values(), this);
    if (dialog.exec() == QDialog::Accepted) ApplyOptions(dialog.values());
}

void CDialerDlg::ApplyOptions(const SettingsData& values) {
    if (!Settings::HasInstance()) return;
    Settings& settings = Settings::Instance();
    ui::StoreOptions(values, settings);
    settings.Save(DispositionList::Instance(), GreetingList::Instance());
    // Always: the list is (re)read whenever it is on, whether or not its
    // path changed.
    services_.loop.post(target(), {um::UM_OPTIONS_CHANGED, 0, 0});
    if (contactRoom_) contactRoom_->Refill();
}

void CDialerDlg::AddTrayIcon() {
    trayAvailable_ = services_.trayAvailable.value_or(QSystemTrayIcon::isSystemTrayAvailable());
    tray_ = new QSystemTrayIcon(windowIcon(), this);
    tray_->setToolTip(QStringLiteral("Zorvan Dialer"));
    tray_->setContextMenu(view_.trayMenu);
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) {
            services_.loop.post(target(), {um::UM_TRAY_NOTIFY, um::kTrayIconId, um::kTrayLeftButtonUp});
        }
    });
    if (trayAvailable_) tray_->show();
}

void CDialerDlg::Initialize() {
    if (initialized_) return;
    initialized_ = true;
    target_ = std::make_unique<ScopedTarget>(services_.loop, *this);

    // 1-2: icon and tray icon.
    setWindowIcon(ui::AppIcon());
    AddTrayIcon();
    // 3-4: dial state idle, buttons and the connection label as built.

    // 5-6: the program's folders.
    folders_ = AppFoldersOf(services_.folders);
    EnsureAppFolders(folders_);

    // 7: the lists, empty.
    DispositionList& dispositions = DispositionList::Instance();
    GreetingList& greetings = GreetingList::Instance();

    // 8-9: the settings.
    Settings& settings = Settings::Instance();
    const std::string settingsPath = folders_.settingsPath();
    if (!settingsPath.empty()) settings.Open(settingsPath);
    settings.Load(dispositions, greetings);
    if (settings.get(&SettingsData::recfolder).empty()) {
        settings.set(&SettingsData::recfolder, folders_.defaultRecFolder());
    }
    // A column choice edited by hand: 14 places, the phone shown.
    settings.set(&SettingsData::fields, GridColumns::NormalizeFields(settings.get(&SettingsData::fields)));

    // 10: the campaign store, not bound to a file yet.
    CampaignStore::Replace();

    // 11: the call controller with the Skype link it attaches; the link
    // reports to the controller, which relays to this window.
    if (services_.skype != nullptr) {
        connector_ = &SkypeConnector::Create(services_.loop, *services_.skype);
        inputPort_ = std::make_unique<ServerInputPort>();
        router_ = std::make_unique<CallAudioRouter>(services_.loop, *connector_, inputPort_.get());
        connector_->SetAudioRouting(router_.get());
        greetingSink_ = std::make_unique<ServerGreetingSink>();
        CallControllerServices calls{services_.loop, *connector_, *router_, *greetingSink_, services_.prompts, [] {
            return Settings::HasInstance() ? Settings::Instance().get(&SettingsData::waitforanswer) : 45;
        }};
        calls.greetingInputReady = &ServerGreetingSink::Ready;
        controller_ = &CallController::Instance(std::move(calls), target());
    }

    // 12: the audio ports and their stream threads.
    if (services_.audioPorts) {
        auto& server = audio::AudioStreamServer::Create(services_.prompts, *services_.audioPorts);
        server.SetEventLoop(&services_.loop);
        server.SetNotifyWindow(target());
        server.amd().SetThreshold([] {
            return Settings::HasInstance() ? Settings::Instance().get(&SettingsData::threshold) : 2;
        });
        server.amd().SetMode([] {
            return Settings::HasInstance() ? Settings::Instance().get(&SettingsData::amdmode) : 0;
        });
        auto recorder = std::make_unique<audio::CallRecorder>(services_.loop, services_.prompts);
        recorder->SetNotifyWindow(target());
        server.AdoptRecorder(std::move(recorder));
        if (router_) server.SetRerouteRequest([router = router_.get()] { router->RequestReroute(); });
        server.OpenInputPort();
        server.OpenOutputPort();
        // The routing names the ports the server really has (any free one
        // when the environment asked for 0).
        if (connector_ != nullptr) {
            connector_->SetAudioPorts(std::to_string(server.inputPort()), std::to_string(server.outputPort()));
        }
    }

    // 13: the please-wait window.
    waiting_ = new ui::CDlgWaitingMsg(this);

    // 14: the grid, with the campaign commands that work on it.
    contacts_ = std::make_unique<ContactList>();
    CampaignRoom::Services campaign{services_.loop, services_.prompts, *contacts_, folders_.defaultRecFolder(), target(),
                                    [this] { StopDialing(); }, [this](const std::string& path) { ShowPath(path); },
                                    [this] { statusCleared_ = true; }, &services_.shell};
    campaign_ = std::make_unique<CampaignRoom>(std::move(campaign), view_.gridArea);
    view_.gridArea->layout()->addWidget(&campaign_->grid());
    campaign_->model().SetEdited([this](std::int32_t id) {
        services_.loop.post(target(), {um::UM_ROW_EDITED, static_cast<std::uintptr_t>(id), 0});
    });
    campaign_->grid().SetRowMenu([this](std::int32_t id) {
        services_.loop.post(target(), {um::UM_ROW_MENU, static_cast<std::uintptr_t>(id), 0});
    });
    campaign_->grid().SetRowDeleted([this](std::int32_t id) {
        services_.loop.post(target(), {um::UM_ROW_DELETED, static_cast<std::uintptr_t>(id), 0});
    });
    campaign_->grid().SetRowRemoving([this](std::int32_t id) {
        if (dial_) dial_->engine().RowRemoving(id);
    });

    // The contact window and the dial pads (made with the please-wait
    // window; they need the grid they write back to).
    contactRoom_ = std::make_unique<ContactRoom>(
        ContactRoom::Services{services_.loop, services_.prompts, *contacts_, *campaign_, target(), connector_,
                              controller_},
        this);

    // The dial loop and the call outcome handling over the grid, the
    // contact window and the call controller.
    doNotCall_ = std::make_unique<DoNotCallList>();
    dial_ = std::make_unique<DialRoom>(DialRoom::Services{
        services_.loop, services_.prompts, *contacts_, *campaign_, *contactRoom_, view_, target(), controller_,
        connector_, doNotCall_.get(), [this] { return connected_; }, [this] { return closing_.isSet(); }});

    reports_ = std::make_unique<ReportRoom>(ReportRoom::Services{services_.loop, services_.prompts, services_.shell,
                                                                 *contacts_, folders_.defaultRecFolder(), target()});

    // 15-16: the do-not-call list and its loader when enabled.
    doNotCallLoader_ = std::make_unique<DoNotCallLoader>(services_.loop, closing_, *doNotCall_, [] {
        return Settings::HasInstance() ? Settings::Instance().get(&SettingsData::donotcallfile) : std::string();
    });
    if (settings.get(&SettingsData::donotcall)) doNotCallLoader_->Start();

    // 17: the last campaign, opened by a worker.
    // (The file of the command line takes its place: one open, no race
    // between two.)
    const std::string lastcamp =
        services_.openAtStart.empty() ? settings.get(&SettingsData::lastcamp) : services_.openAtStart;
    if (!lastcamp.empty()) campaign_->Open(lastcamp);

    // 18: placement.
    ApplyPlacement(settings.get(&SettingsData::pos));

    // 19: background threads.
    autosave_ = std::make_unique<AutosaveThread>(services_.loop, closing_, [] {
        if (auto store = CampaignStore::Current()) store->SaveIfModified();
    });
    autosave_->Start();
    if (services_.http != nullptr) {
        update_ = std::make_unique<UpdatePromptThread>(services_.loop, closing_, *services_.http, UpdateSiteRoot(),
                                                       target(), kUpdateAvailable);
        update_->Start();
    }
}

void CDialerDlg::Shutdown() {
    if (!initialized_ || shutDown_) return;
    shutDown_ = true;
    // 1: from here on every background thread ends at its next look, and
    // no dial wait places another call.
    closing_.set();
    if (dial_) dial_->engine().Shutdown();
    launch_.reset();

    // 2: a campaign with a file is written out whole, for the last time, by
    // a worker; file work still under way ends first. Events keep flowing.
    if (campaign_) campaign_->WaitForFileWork(500);
    const auto store = CampaignStore::Current();
    const std::string campaignPath = store ? store->path() : std::string();
    if (!campaignPath.empty() && campaign_) campaign_->WriteOutAtExit(campaignPath);

    // 4: the tray icon goes.
    if (tray_ != nullptr) tray_->hide();

    // 5: the threads that watch `closing` end; they wake on it at once.
    if (autosave_) autosave_->Join();
    autosave_.reset();
    if (update_) update_->Join();
    update_.reset();
    if (doNotCallLoader_) doNotCallLoader_->Join();
    doNotCallLoader_.reset();

    // 6-8: the contact window and the pads, the grid and its commands, the
    // contact list and the do-not-call list.
    dial_.reset();
    reports_.reset();
    contactRoom_.reset();
    campaign_.reset();
    contacts_.reset();
    doNotCall_.reset();

    // 9-10: the campaign's path for the next start, the window rectangle,
    // then the settings are saved and released.
    if (Settings::HasInstance()) {
        Settings& settings = Settings::Instance();
        if (!campaignPath.empty()) settings.set(&SettingsData::lastcamp, campaignPath);
        settings.set(&SettingsData::pos, CurrentPos());
        settings.Save(DispositionList::Instance(), GreetingList::Instance());
        Settings::DestroyInstance();
    }
    CampaignStore::Destroy();

    // 12: the call controller, then the Skype link it attached.
    if (controller_ != nullptr) {
        CallController::DestroyInstance();
        controller_ = nullptr;
    }
    if (connector_ != nullptr) {
        SkypeConnector::DestroyInstance();
        connector_ = nullptr;
    }

    // 13: the audio ports; then the routing that used them.
    audio::AudioStreamServer::DestroyInstance();
    router_.reset();
    inputPort_.reset();

    // 14: the lists.
    DispositionList::DestroyInstance();
    GreetingList::DestroyInstance();
    target_.reset();
}

void CDialerDlg::Activate() {
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    showNormal();
    raise();
    activateWindow();
}

void CDialerDlg::Launch(const std::string& open, std::optional<DialStart> dial, bool openedAtStart) {
    if (!initialized_ || shutDown_ || !campaign_) return;
    if (!open.empty() && !openedAtStart) campaign_->Open(open);
    if (!dial) return;
    const auto opened = [this, open] {
        const auto store = CampaignStore::Current();
        return open.empty() || (store && store->path() == open);
    };
    LaunchWaiter::Steps steps;
    // The do-not-call list must be there before the first number is checked.
    const auto listReady = [this] {
        return !Settings::HasInstance() || !Settings::Instance().get(&SettingsData::donotcall) ||
               (doNotCallLoader_ && doNotCallLoader_->loaded());
    };
    steps.ready = [this, opened, listReady] {
        return !campaign_->fileWorkRunning() && opened() && connected_ && listReady();
    };
    steps.start = [this, dial] {
        if (!dial_ || dial_->engine().mode() != Idle) return;
        OnCommand(*dial == DialStart::Automatic ? ui::cmd::kAutoStart : ui::cmd::kSemiStart);
    };
    steps.failed = [this, opened, open] {
        if (campaign_->fileWorkRunning() || opened()) return std::string();
        return "the campaign file '" + open + "' could not be opened.";
    };
    steps.whyNot = [this] {
        return campaign_->fileWorkRunning() ? std::string("the campaign file is still being read.")
                                            : std::string("Skype is not connected, or its status is not Online.");
    };
    steps.fail = [this](const std::string& reason) {
        const std::string text = "Dialing could not start: " + reason;
        std::cerr << "zorvan-dialer: " << text << '\n';
        services_.prompts.messageBox("Zorvan Dialer", text, PromptIcon::Warning, PromptButtons::Ok);
    };
    launch_ = std::make_unique<LaunchWaiter>(services_.loop, kLaunchWaitMs, 250, std::move(steps));
}

void CDialerDlg::OnEvent(const Event& event) {
    switch (event.id) {
        case um::UM_TRAY_NOTIFY:
            if (event.lParam == um::kTrayLeftButtonUp) {
                Activate();
            } else if (event.lParam == um::kTrayRightButtonUp) {
                activateWindow();
                view_.trayMenu->exec(QCursor::pos());
            }
            break;
        case um::UM_SKYPE_USER_STATUS:
            ShowConnection(event.wParam);
            break;
        case um::UM_SKYPE_REFUSED:
            ShowRefusal();
            break;
        case um::UM_SKYPE_ATTACHED:
            ShowStatusCheck(false);
            break;
        case um::UM_SKYPE_PENDING:
            ShowStatusCheck(true);
            break;
        case um::UM_BUSY:
            SetBusy(event.wParam == 1);
            break;
        case um::UM_ROW_EDITED:
            if (campaign_) campaign_->RowEdited(static_cast<std::int32_t>(event.wParam));
            break;
        case um::UM_ROW_DELETED:
            if (campaign_) campaign_->RowDeleted(static_cast<std::int32_t>(event.wParam));
            break;
        case um::UM_OPTIONS_CHANGED:
            if (doNotCallLoader_ && Settings::HasInstance() && Settings::Instance().get(&SettingsData::donotcall)) {
                doNotCallLoader_->Start();
            }
            break;
        case um::UM_END_CALL:
            if (controller_ != nullptr) controller_->Reset();
            break;
        case um::UM_HOLD:
        case um::UM_RESUME:
            if (controller_ != nullptr) controller_->HoldOrResume(event.id == um::UM_HOLD);
            break;
        case um::UM_UPDATE_CONTACT:
            if (contactRoom_) contactRoom_->WriteBack();
            break;
        case um::UM_GREETING_STARTED:
            if (contactRoom_) contactRoom_->window().GreetingStarted();
            break;
        case um::UM_GREETING_FINISHED:
            if (contactRoom_) contactRoom_->window().GreetingFinished();
            break;
        case um::UM_ROW_MENU:
            ShowRowMenu(static_cast<std::int32_t>(event.wParam));
            break;
        case kUpdateAvailable:
            if (services_.prompts.messageBox("Zorvan Dialer",
                                             "New version Zorvan Dialer is available! Click 'OK' to update Now!",
                                             PromptIcon::Information, PromptButtons::OkCancel) == PromptAnswer::Ok) {
                services_.shell.Open(UpdateSiteRoot() + "upgrade.html");
            }
            break;
        default:  // the call's events belong to the call outcome handling
            if (dial_) dial_->outcome().Handle(event);
            break;
    }
}

// The row menu: "Call Phone" when the line is free, "View/Edit Contact".
void CDialerDlg::ShowRowMenu(std::int32_t id) {
    if (!dial_ || !contactRoom_) return;
    const std::vector<std::string> items = dial_->outcome().RowMenu();
    const auto chosen = services_.prompts.popupMenu(items);
    if (!chosen || *chosen < 0 || static_cast<std::size_t>(*chosen) >= items.size()) return;
    if (items[static_cast<std::size_t>(*chosen)] == CallOutcome::kCallPhone) {
        dial_->outcome().ManualCall(id);
    } else {
        contactRoom_->ViewEdit(id);
    }
}

void CDialerDlg::ShowPath(const std::string& path) {
    view_.campaignPath->setText(path.empty() ? QString() : QStringLiteral(" ") + QString::fromStdString(path));
}

void CDialerDlg::SetBusy(bool busy) {
    // Workers overlap: the window stays up until the last one has ended.
    busyCount_ = busy ? busyCount_ + 1 : std::max(0, busyCount_ - 1);
    if (waiting_ == nullptr) return;
    if (busyCount_ > 0) {
        waiting_->show();
        waiting_->raise();
    } else {
        waiting_->hide();
    }
}

void CDialerDlg::ShowStatusCheck(bool show) {
    if (statusCheck_ == nullptr) {
        statusCheck_ = new ui::CDlgStatusCheck(services_.loop, [] { return static_cast<std::uint32_t>(AttachStatus().load()); },
                                               this);
    }
    if (show) {
        statusCheck_->show();
        statusCheck_->raise();
    } else {
        statusCheck_->hide();
    }
}

// A new, opened or imported campaign: the dialing stops and the retries go.
void CDialerDlg::StopDialing() {
    if (dial_) {
        dial_->engine().CampaignReplaced();
    } else if (controller_ != nullptr) {
        controller_->Reset();
    }
}

// Statuses 0 to 2 mean no usable Skype; 3 to 8 are all online-like.
void CDialerDlg::ShowConnection(std::uintptr_t userStatus) {
    if (userStatus > 8) return;
    QLabel& label = *view_.connection;
    if (userStatus <= 2) {
        connected_ = false;
        ui::SetConnectionText(label, QStringLiteral("Skype is unavailable..."), QStringLiteral("red"));
        label.setCursor(Qt::PointingHandCursor);
    } else {
        connected_ = true;
        view_.skypeState->setText(QStringLiteral("Skype silent mode"));
        ui::SetConnectionText(label, QStringLiteral("Connected to Skype"), QStringLiteral("black"));
        label.unsetCursor();
    }
}

void CDialerDlg::ShowRefusal() {
    services_.prompts.messageBox("Zorvan Dialer",
                                 std::string("Your Skype refused Zorvan Dialer to access it.\nPlease visit the page (") +
                                     web::kAccessSkype + ") to resolve the issue!",
                                 PromptIcon::Warning, PromptButtons::Ok);
    services_.shell.Open(web::kAccessSkype);
}

void CDialerDlg::closeEvent(QCloseEvent* event) {
    if (shutDown_) {
        event->accept();
        return;
    }
    // The close box never ends the program: it hides the window in the tray,
    // or minimises it where there is no tray to bring it back from.
    event->ignore();
    if (trayAvailable_) {
        hide();
    } else {
        showMinimized();
    }
}

void CDialerDlg::ApplyPlacement(const std::string& pos) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const ScreenRect workArea{area.left(), area.top(), area.left() + area.width(), area.top() + area.height()};
    if (const auto placed = PlacementFromPos(pos, workArea)) {
        setGeometry(placed->left, placed->top, placed->width(), placed->height());
        return;
    }
    const int width = std::min(kDefaultWidth, std::max(ui::kMinWidth, area.width()));
    const int height = std::min(kDefaultHeight, std::max(ui::kMinHeight, area.height()));
    setGeometry(area.left() + (area.width() - width) / 2, area.top() + (area.height() - height) / 2, width, height);
}

std::string CDialerDlg::CurrentPos() const {
    const QRect g = geometry();
    return FormatPos({g.left(), g.top(), g.left() + g.width(), g.top() + g.height()});
}

}  // namespace zorvan
