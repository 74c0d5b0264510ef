#pragma once

#include <functional>
#include <string>
#include <vector>

#include "data/contact.h"
#include "platform/event_loop.h"

namespace zorvan {

class CampaignStore;
class ContactList;
class Prompts;

// What the main window lends the whole-file campaign procedures, which it
// runs on background threads.
struct CampaignHooks {
    EventLoop& loop;
    TargetId busyTarget = kNoTarget;  // receives UM_BUSY 1 and 0
    // Reset the dial controller and empty the grid (the contact list is
    // emptied by the procedure itself).
    std::function<void()> resetForOpen;
    // Insert a contact into the grid; returns the id the row was given.
    std::function<std::int32_t(const Contact&)> insertIntoGrid;
    // Expand and redraw the campaign's root row.
    std::function<void()> expandRoot;
};

enum class CampaignOpenResult {
    Opened,      // the contacts are in the grid and the list; the file holds them under their new ids
    NoFile,      // nothing at the path: nothing changed
    Unreadable,  // the file does not parse: nothing changed, the user was told, the file is untouched
    NotSaved,    // opened, but the renamed contacts could not be written back (the store stays bound)
};

// The contacts of a campaign file, read on a worker thread; nothing of the
// open campaign is touched. `result` is Opened, NoFile or Unreadable.
struct CampaignFileRead {
    CampaignOpenResult result = CampaignOpenResult::NoFile;
    std::vector<Contact> contacts;  // in file order, ids not yet given
    // The store that read them, bound to the file: once its elements are
    // renumbered it can become the current store without a second document.
    std::shared_ptr<CampaignStore> document;
};
CampaignFileRead ReadCampaignFile(const std::string& path);
// Tells the user that the file at `path` is no campaign file (it is kept).
void TellUnreadable(Prompts& prompts, const std::string& path);

// A new current store bound to `path` holding exactly `contacts` under
// their ids, not yet saved (the caller saves it, on a worker if it likes).
std::shared_ptr<CampaignStore> RebindCampaign(const std::string& path, const std::vector<Contact>& contacts);

// Opens the campaign file at `path` into a new current store, the grid (new
// ids) and `contacts`, then rewrites the file so that it holds exactly those
// contacts under their new ids. The rewrite replaces the file atomically; the
// old file is never deleted first.
CampaignOpenResult OpenCampaign(const std::string& path, const CampaignHooks& hooks, ContactList& contacts,
                                Prompts& prompts);

// Writes the whole campaign to `path` through a new current store, which
// stays bound to that path. An existing file there keeps its contacts,
// except while the program is closing or when `exact` is asked for (the
// file then holds just the list). No busy events while closing.
bool WriteOutCampaign(const std::string& path, const CampaignHooks& hooks, const std::vector<Contact>& contacts,
                      bool closing, bool exact = false);

}  // namespace zorvan
