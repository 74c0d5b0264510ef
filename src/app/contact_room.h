#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/event_loop.h"

class QWidget;

namespace zorvan {

class CampaignRoom;
class ContactList;
class Prompts;
struct Contact;
class SkypeConnector;
class CallController;

namespace ui {
class CDlgContactMsg;
class CDlgDialPad;
}  // namespace ui

// The contact window and the two dial pads as the main window uses them:
// loading a contact (what the user typed for the one shown is written back
// first), "Update", "View/Edit Contact", the greeting's progress and the
// tones the pads send. UI thread only.
class ContactRoom {
public:
    struct Services {
        EventLoop& loop;
        Prompts& prompts;
        ContactList& contacts;
        CampaignRoom& campaign;
        TargetId mainWindow;
        SkypeConnector* connector = nullptr;  // none: tones go nowhere
        CallController* controller = nullptr;
    };

    ContactRoom(Services services, QWidget* mainWindow);
    ~ContactRoom();
    ContactRoom(const ContactRoom&) = delete;
    ContactRoom& operator=(const ContactRoom&) = delete;

    ui::CDlgContactMsg& window() { return *window_; }
    ui::CDlgDialPad& mainPad() { return *mainPad_; }

    // The lists of the boxes and the preset notes, from the settings.
    void Refill();
    // UM_UPDATE_CONTACT: the window's changes into the grid, the list and
    // the file. Nothing for a contact that was deleted meanwhile.
    void WriteBack();
    // Loads a contact into the window, writing back the one shown first.
    void Show(const Contact& contact, bool withDisposition);
    // A call's contact: loaded (what the user typed for another contact is
    // written back first) and shown when `show`; a contact the window holds
    // already keeps what the user is typing.
    void ShowForCall(std::int32_t id, bool show);
    // "View/Edit Contact" of the row menu.
    void ViewEdit(std::int32_t id);
    // A call's recording and status belong to the contact that was called,
    // whichever contact the window shows; the window only mirrors them when
    // it shows that contact.
    void SetCallRecording(std::int32_t id, const std::string& path);
    void SetCallStatus(std::int32_t id, int code, const std::string& text);
    // A dial pad key: its tone to the call in progress.
    void SendTone(char key);

private:
    Services services_;
    ui::CDlgContactMsg* window_ = nullptr;
    ui::CDlgDialPad* mainPad_ = nullptr;
};

}  // namespace zorvan
