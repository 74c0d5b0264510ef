#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "data/contact.h"
#include "data/disposition_list.h"
#include "data/greeting_list.h"

namespace zorvan {

class SkypeCallTable;

// The phases of a call as the contact window shows them.
enum class CallPhase : int { Connected = 0, Finished = 1, Machine = 2, Human = 3, Edit = 6, Calling = 7 };

// What a phase makes of the window: its title and which buttons work.
struct PhaseView {
    std::string title;
    bool playMsg = false;
    bool record = false;
    bool hold = false;
    bool endCall = false;
    bool dialPad = false;
    bool resetProgress = false;
    bool resetCall = false;  // hold, record, play and the user's disposition off, pad display cleared
};
PhaseView ViewOfPhase(CallPhase phase, const std::string& first, const std::string& last, bool autorec);

// An entry of the greeting or disposition box: its text and item data.
struct BoxEntry {
    std::string text;
    int data = 0;
    bool operator==(const BoxEntry&) const = default;
};
inline constexpr int kMachineGreeting = 100;
inline constexpr int kHumanGreeting = 101;

struct GreetingBox {
    std::vector<BoxEntry> entries;
    std::optional<int> selected;  // index
};
// The greeting box after a refill: the two answer greetings when their
// options are on, then every greeting of the list; the remembered entry (or
// the first) is selected, also when the box holds just one entry, so that
// "Play Msg" plays it.
GreetingBox FillGreetingBox(bool leaveMessageToMachine, bool messageToHuman,
                            const std::vector<GreetingFile>& greetings, std::optional<int> remembered);

struct DispositionBox {
    std::vector<BoxEntry> entries;
    std::optional<int> selected;
};
DispositionBox FillDispositionBox(const std::vector<Disposition>& dispositions, std::optional<int> remembered);

// The "Preset Notes" menu: the parts of the notes setting between ";",
// empty ones left out, at most 24.
std::vector<std::string> PresetNotes(const std::string& setting);

// Where a dial pad key's tone goes: the call in progress (ours when the
// dialer placed one), never a call on hold. Empty: no call to send it to.
std::string DtmfCallId(const SkypeCallTable& table, const std::string& ownCallId);

// The contact window's state without its widgets: which contact it shows,
// what the user changed, and the rules for writing it back.
class ContactWindowModel {
public:
    // The 15 fields the window edits, in the order of its controls.
    static const std::vector<std::string Contact::*>& EditedFields();

    // Shows another contact; `withDisposition` also takes its status as
    // the kept disposition.
    void Load(const Contact& contact, bool withDisposition);
    bool holds(std::int32_t id) const { return contact_ && contact_->id == id; }
    const std::optional<Contact>& contact() const { return contact_; }

    // The user changed a field (`fields` in the order of EditedFields).
    void Edit(const std::vector<std::string>& fields);
    // The user chose or typed a disposition.
    void ChooseDisposition(const std::string& text);
    // The call's recording of the contact shown.
    void SetRecordedFile(const std::string& path);
    void MarkModified() { modified_ = true; }
    // Phases 7 and 1 forget the user's disposition.
    void EnterPhase(CallPhase phase);

    // The contact as the window has it, when the user changed something:
    // the edited fields and the recording on top of `current` (the contact
    // as the list has it now), and the status only when the user chose one
    // for this contact since it was loaded, so a stale or empty box never
    // replaces the call's status. Nothing when the window holds another
    // contact than `current` or nothing was changed.
    std::optional<Contact> ReadBack(const Contact& current) const;

    bool modified() const { return modified_; }
    bool userDisposition() const { return userDisposition_; }
    const std::string& keptDisposition() const { return kept_; }
    const std::string& recordedFile() const { return recordedFile_; }

private:
    std::optional<Contact> contact_;
    std::vector<std::string> fields_;
    std::string kept_;
    std::string recordedFile_;
    bool modified_ = false;
    bool userDisposition_ = false;
};

}  // namespace zorvan
