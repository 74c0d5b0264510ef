#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace zorvan {

class DispositionList;
class ContactList;
class Prompts;

// The contact window's disposition box, as far as the status text needs it:
// it shows the entry of the status unless the user picked one himself.
class DispositionSelection {
public:
    virtual ~DispositionSelection() = default;
    virtual void SelectStatusUnlessChosen(int status) = 0;
};

// Greeting progress of the current call.
struct GreetingProgress {
    bool played = false;  // a progress report arrived in this call
    int percent = 0;      // the last reported percentage
};

// The text stored in `cstatus` for a call status code: the disposition's
// name, with " (n%)" for the two finished codes when a greeting was played
// and `msgpercent` is on; empty for unknown codes or missing dispositions.
std::string StatusText(int code, const DispositionList& dispositions, bool msgpercent, GreetingProgress progress,
                       DispositionSelection* selection = nullptr);

// Asks for confirmation, then empties every contact's call status in the
// list and, through `clearRow`, in the grid. True when the user said yes
// (the caller then resets the dial walk and notes that statuses were cleared).
bool ClearAllStatuses(Prompts& prompts, ContactList& contacts, const std::function<void(std::int32_t id)>& clearRow);

}  // namespace zorvan
