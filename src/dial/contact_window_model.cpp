#include "dial/contact_window_model.h"

#include "skype/call_table.h"

namespace zorvan {

namespace {
constexpr std::size_t kMaxPresetNotes = 24;

std::string Fill(const char* format, const std::string& first, const std::string& last) {
    std::string out = format;
    for (const std::string* part : {&first, &last}) {
        const auto at = out.find("%s");
        if (at != std::string::npos) out.replace(at, 2, *part);
    }
    return out;
}
}  // namespace

PhaseView ViewOfPhase(CallPhase phase, const std::string& first, const std::string& last, bool autorec) {
    PhaseView view;
    switch (phase) {
        case CallPhase::Calling:
            view.title = Fill("Calling '%s %s' ...", first, last);
            view.endCall = true;
            view.resetProgress = true;
            break;
        case CallPhase::Connected:
        case CallPhase::Human:
        case CallPhase::Machine:
            view.title = Fill(phase == CallPhase::Machine ? "Call Connected To %s %s's Answering Machine"
                                                          : "Call Connected To %s %s",
                              first, last);
            view.playMsg = view.hold = view.endCall = view.dialPad = true;
            view.record = !autorec;
            view.resetProgress = phase == CallPhase::Connected;
            break;
        case CallPhase::Finished:
            view.title = Fill("Call Finished With %s %s", first, last);
            view.resetCall = true;
            break;
        case CallPhase::Edit:
            view.title = Fill("Edit Contact '%s %s'", first, last);
            view.resetProgress = true;
            break;
    }
    return view;
}

GreetingBox FillGreetingBox(bool leaveMessageToMachine, bool messageToHuman,
                            const std::vector<GreetingFile>& greetings, std::optional<int> remembered) {
    GreetingBox box;
    if (leaveMessageToMachine) box.entries.push_back({"Greeting for answering machine", kMachineGreeting});
    if (messageToHuman) box.entries.push_back({"Greeting for human answering", kHumanGreeting});
    for (std::size_t i = 0; i < greetings.size(); ++i) {
        box.entries.push_back({greetings[i].description, static_cast<int>(i)});
    }
    if (box.entries.empty()) return box;
    const int count = static_cast<int>(box.entries.size());
    box.selected = remembered && *remembered >= 0 && *remembered < count ? *remembered : 0;
    return box;
}

DispositionBox FillDispositionBox(const std::vector<Disposition>& dispositions, std::optional<int> remembered) {
    DispositionBox box;
    for (const Disposition& d : dispositions) box.entries.push_back({d.name, d.status});
    const int count = static_cast<int>(box.entries.size());
    if (remembered && *remembered >= 0 && *remembered < count && count > 1) box.selected = remembered;
    return box;
}

std::vector<std::string> PresetNotes(const std::string& setting) {
    std::vector<std::string> notes;
    std::size_t start = 0;
    while (start <= setting.size() && notes.size() < kMaxPresetNotes) {
        const std::size_t end = setting.find(';', start);
        const std::string part = setting.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!part.empty()) notes.push_back(part);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return notes;
}

std::string DtmfCallId(const SkypeCallTable& table, const std::string& ownCallId) {
    if (!ownCallId.empty() && table.StateOf(ownCallId) == SkypeInProgress) return ownCallId;
    // Otherwise the call in progress that started first; a call on hold
    // never takes the tone.
    const SkypeCall* oldest = nullptr;
    for (int i = 0; i < SkypeCallTable::kSlots; ++i) {
        const SkypeCall& call = table.slot(i);
        if (call.callId.empty() || call.state != SkypeInProgress) continue;
        if (oldest == nullptr || call.startTime <= oldest->startTime) oldest = &call;
    }
    return oldest == nullptr ? std::string() : oldest->callId;
}

const std::vector<std::string Contact::*>& ContactWindowModel::EditedFields() {
    static const std::vector<std::string Contact::*> fields{
        &Contact::fname, &Contact::lname,   &Contact::phone,   &Contact::email, &Contact::company,
        &Contact::job,   &Contact::street,  &Contact::city,    &Contact::state, &Contact::country,
        &Contact::zip,   &Contact::website, &Contact::fax,     &Contact::others, &Contact::notes};
    return fields;
}

void ContactWindowModel::Load(const Contact& contact, bool withDisposition) {
    contact_ = contact;
    fields_.clear();
    for (const auto field : EditedFields()) fields_.push_back(contact.*field);
    if (withDisposition) kept_ = contact.cstatus;
    recordedFile_.clear();
    modified_ = false;
    userDisposition_ = false;
}

void ContactWindowModel::Edit(const std::vector<std::string>& fields) {
    if (fields.size() != EditedFields().size() || fields == fields_) return;
    fields_ = fields;
    modified_ = true;
}

void ContactWindowModel::ChooseDisposition(const std::string& text) {
    kept_ = text;
    userDisposition_ = true;
    modified_ = true;
}

void ContactWindowModel::SetRecordedFile(const std::string& path) {
    recordedFile_ = path;
    modified_ = true;
}

void ContactWindowModel::EnterPhase(CallPhase phase) {
    if (phase == CallPhase::Calling || phase == CallPhase::Finished) userDisposition_ = false;
}

std::optional<Contact> ContactWindowModel::ReadBack(const Contact& current) const {
    if (!modified_ || !contact_ || contact_->id != current.id) return std::nullopt;
    Contact out = current;
    const auto& fields = EditedFields();
    for (std::size_t i = 0; i < fields.size() && i < fields_.size(); ++i) out.*fields[i] = fields_[i];
    if (!recordedFile_.empty()) out.recfile = recordedFile_;
    if (userDisposition_) out.cstatus = kept_;
    return out;
}

}  // namespace zorvan
