#include "data/status_text.h"

#include <cstdio>

#include "data/call_status.h"
#include "data/contact_list.h"
#include "data/disposition_list.h"
#include "platform/prompts.h"

namespace zorvan {

std::string StatusText(int code, const DispositionList& dispositions, bool msgpercent, GreetingProgress progress,
                       DispositionSelection* selection) {
    if (selection != nullptr) selection->SelectStatusUnlessChosen(code);
    if (code < 0 || code >= kCallStatusCount) return {};
    const std::string name = dispositions.NameOf(code).value_or(std::string());
    const bool finished = code == static_cast<int>(CallStatus::CallSucceeded) ||
                          code == static_cast<int>(CallStatus::MachineSucceeded);
    if (finished && progress.played && msgpercent && !name.empty()) {
        char percent[24];
        std::snprintf(percent, sizeof percent, " (%d%%)", progress.percent);
        return name + percent;
    }
    return name;
}

bool ClearAllStatuses(Prompts& prompts, ContactList& contacts, const std::function<void(std::int32_t id)>& clearRow) {
    const PromptAnswer answer = prompts.messageBox(
        "Zorvan Dialer",
        "Are you sure your want to clear all calls status (The call status cannot be recovered if has been cleared!) ?",
        PromptIcon::Question, PromptButtons::YesNo);
    if (answer != PromptAnswer::Yes) return false;
    for (const Contact& contact : contacts.Snapshot()) {
        if (clearRow) clearRow(contact.id);
        contacts.SetStatus(contact.id, "");
    }
    return true;
}

}  // namespace zorvan
