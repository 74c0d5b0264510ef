#pragma once

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "data/campaign_io.h"
#include "data/campaign_rows.h"
#include "platform/event_loop.h"

class QWidget;

namespace zorvan {

class ContactList;
class Prompts;
class Shell;

namespace ui {
class CampaignModel;
class ContactGrid;
}  // namespace ui

// The main window's campaign commands and the grid they work on: new,
// insert, remove, open and export a campaign file, clear the call statuses,
// the column choice, and what a row edit or deletion means for the contact
// list and the file. File work runs on worker threads that post their
// results here; everything else runs on the UI thread.
class CampaignRoom final : public EventHandler {
public:
    struct Services {
        EventLoop& loop;
        Prompts& prompts;
        ContactList& contacts;
        std::string documentsFolder;  // the program's sub-folder, ending in "/"
        TargetId busyTarget = kNoTarget;  // receives UM_BUSY 1 and 0
        std::function<void()> stopDialing;  // dial loop idle, controller reset
        std::function<void(const std::string&)> showPath;  // the campaign path line
        std::function<void()> onStatusCleared;
        Shell* shell = nullptr;  // the import dialog's help link
    };

    CampaignRoom(Services services, QWidget* gridParent);
    ~CampaignRoom() override;
    CampaignRoom(const CampaignRoom&) = delete;
    CampaignRoom& operator=(const CampaignRoom&) = delete;

    ui::ContactGrid& grid() { return *grid_; }
    ui::CampaignModel& model() { return *model_; }
    CampaignRows& rows() { return rows_; }

    // Commands.
    void NewCampaign();
    // Adds an empty contact and starts editing it; makes the Temp file when
    // the campaign has none, waiting for it in slices of `sliceMs`.
    void InsertContact(std::int64_t sliceMs);
    void RemoveCurrentCampaign();
    void ImportCampaignFile();
    // "Import CSV File": the file, the import dialog, then ImportContacts.
    void ImportCsvFile(QWidget* parent);
    // The imported contacts appended to the campaign under fresh ids that
    // no element of its file has; the file (or a new Temp file when the
    // campaign has none) holds them too.
    void ImportContacts(std::vector<Contact> imported);
    void ExportCampaignFile();
    // True when the user agreed and the statuses were cleared.
    bool ClearCallsStatus();
    void CustomizeColumns(QWidget* parent);
    // Columns from these settings; the rows keep their ids.
    void ApplyColumns(bool customize, const std::string& fields);

    // Opens a campaign file on a worker; the path line shows the path.
    void Open(const std::string& path);
    // The whole campaign written to `path` on a worker, the store bound to it.
    void WriteOut(const std::string& path, bool exact);
    // The exit's write-out: the file holds exactly the list; returns when
    // it is written, the UI thread's events flowing meanwhile.
    void WriteOutAtExit(const std::string& path);
    // Lets the UI thread's events run until no file work is under way.
    void WaitForFileWork(std::int64_t sliceMs);
    bool fileWorkRunning() const { return running_ > 0; }

    // Grid events.
    void RowEdited(std::int32_t id);
    void RowDeleted(std::int32_t id);

    void OnEvent(const Event& event) override;

private:
    void Spawn(std::function<void()> work);
    void ApplyOpened(CampaignFileRead read, const std::string& path);
    void PostBusy(bool busy);
    std::string TempCampaignPath() const;

    Services services_;
    CampaignRows rows_;
    std::unique_ptr<ui::CampaignModel> model_;
    ui::ContactGrid* grid_ = nullptr;
    ScopedTarget target_;
    std::mutex mutex_;
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::vector<Worker> workers_;
    std::atomic<int> running_{0};
    struct Opened {
        std::string path;
        CampaignFileRead read;
    };
    std::vector<Opened> opened_;  // results of open workers, under mutex_
};

}  // namespace zorvan
