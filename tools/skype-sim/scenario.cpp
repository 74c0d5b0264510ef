#include "scenario.h"

#include <sstream>

namespace skypesim {

namespace {

bool ToSeconds(const std::string& word, double& out) {
    try {
        std::size_t used = 0;
        out = std::stod(word, &used);
        return used == word.size() && out >= 0;
    } catch (...) {
        return false;
    }
}

bool ToInt(const std::string& word, int& out) {
    try {
        std::size_t used = 0;
        out = std::stoi(word, &used);
        return used == word.size();
    } catch (...) {
        return false;
    }
}

std::string Rest(std::istringstream& in) {
    std::string rest;
    std::getline(in, rest);
    const auto start = rest.find_first_not_of(' ');
    return start == std::string::npos ? std::string() : rest.substr(start);
}

std::string Resolve(const std::string& folder, const std::string& name) {
    if (name.empty() || name.front() == '/') return name;
    return folder + "/" + name;
}

bool ParseCallee(std::istringstream& in, Callee& callee, std::string& error, const std::string& folder) {
    std::string word;
    while (in >> word) {
        double seconds = 0;
        if (word == "ring" && in >> word && ToSeconds(word, seconds)) {
            callee.ringSeconds = seconds;
        } else if (word == "earlymedia") {
            callee.earlyMedia = true;
        } else if (word == "answer") {
            callee.outcome = Callee::Outcome::Answer;
        } else if (word == "busy") {
            callee.outcome = Callee::Outcome::Busy;
        } else if (word == "refuse") {
            callee.outcome = Callee::Outcome::Refuse;
        } else if (word == "missed") {
            callee.outcome = Callee::Outcome::Missed;
        } else if (word == "noanswer") {
            callee.outcome = Callee::Outcome::NoAnswer;
        } else if (word == "fail" && in >> word && ToInt(word, callee.code)) {
            callee.outcome = Callee::Outcome::Fail;
        } else if (word == "reject" && in >> word && ToInt(word, callee.code) && callee.code >= 0) {
            callee.outcome = Callee::Outcome::Reject;
        } else if (word == "reject-bare" && in >> word && ToInt(word, callee.code) && callee.code >= 0) {
            callee.outcome = Callee::Outcome::RejectBare;
        } else if (word == "pstn-failure") {
            callee.outcome = Callee::Outcome::PstnFailure;
            callee.text = Rest(in);
            if (callee.text.empty()) callee.text = "6500 PSTN connection creation timeout";
        } else if (word == "hangup-after" && in >> word && ToSeconds(word, seconds)) {
            callee.hangupAfter = seconds;
        } else if (word == "voice" && in >> word) {
            callee.voice = Resolve(folder, word);
        } else if (word == "mic" && in >> word) {
            callee.mic = Resolve(folder, word);
        } else if (word == "mic-tone" && in >> word && ToSeconds(word, seconds)) {
            callee.micTone = seconds;
        } else if (word == "drop-output-at" && in >> word && ToSeconds(word, seconds)) {
            callee.dropOutputAt = seconds;
        } else if (word == "net-loss-at" && in >> word && ToSeconds(word, seconds)) {
            callee.netLossAt = seconds;
        } else {
            error = "unknown or incomplete callee option '" + word + "'";
            return false;
        }
    }
    return true;
}

// at T incoming HANDLE [pstn] ring S missed|refused|answer
bool ParseIncoming(std::istringstream& in, IncomingCall& call) {
    std::string word;
    if (!(in >> call.handle)) return false;
    if (!(in >> word)) return false;
    if (word == "pstn") {
        call.pstn = true;
        if (!(in >> word)) return false;
    }
    if (word != "ring" || !(in >> word) || !ToSeconds(word, call.ringSeconds) || !(in >> word)) return false;
    if (word == "missed") {
        call.outcome = IncomingCall::Outcome::Missed;
    } else if (word == "refused") {
        call.outcome = IncomingCall::Outcome::Refused;
    } else if (word == "answer") {
        call.outcome = IncomingCall::Outcome::Answer;
    } else {
        return false;
    }
    return !(in >> word);
}

}  // namespace

const Callee& Scenario::CalleeFor(const std::string& number) const {
    const auto it = callees.find(number);
    return it == callees.end() ? fallback : it->second;
}

std::optional<Scenario> ParseScenario(const std::string& text, std::string& error, const std::string& folder) {
    Scenario scenario;
    std::istringstream lines(text);
    std::string line;
    int lineNumber = 0;
    while (std::getline(lines, line)) {
        ++lineNumber;
        if (const auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream in(line);
        std::string key;
        if (!(in >> key)) continue;
        std::string word;
        std::string problem;
        if (key == "version" && in >> scenario.version) {
        } else if (key == "handle" && in >> scenario.handle) {
        } else if (key == "attach" && in >> word) {
            if (word == "immediate") {
                scenario.attach = Scenario::AttachPolicy::Immediate;
            } else if (word == "refused") {
                scenario.attach = Scenario::AttachPolicy::Refused;
            } else if (word == "never") {
                scenario.attach = Scenario::AttachPolicy::Never;
            } else if (word == "not-available") {
                scenario.attach = Scenario::AttachPolicy::NotAvailable;
            } else if (word == "pending" && in >> word && ToSeconds(word, scenario.pendingSeconds)) {
                scenario.attach = Scenario::AttachPolicy::Pending;
            } else {
                problem = "attach takes immediate, pending SECONDS, refused, never or not-available";
            }
        } else if (key == "repeat-status" && in >> word) {
            if (word == "none") {
                scenario.repeatStatus = Scenario::Repeat::None;
            } else if (word == "early") {
                scenario.repeatStatus = Scenario::Repeat::Early;
            } else if (word == "all") {
                scenario.repeatStatus = Scenario::Repeat::All;
            } else {
                problem = "repeat-status takes none, early or all";
            }
        } else if (key == "frame-bytes" && in >> word) {
            if (!ToInt(word, scenario.frameBytes) || (scenario.frameBytes != 320 && scenario.frameBytes != 640)) {
                problem = "frame-bytes takes 320 or 640";
            }
        } else if (key == "write-split" && in >> word) {
            if (word == "none") {
                scenario.writeSplit = Scenario::Split::None;
            } else if (word == "random") {
                scenario.writeSplit = Scenario::Split::Random;
            } else {
                problem = "write-split takes none or random";
            }
        } else if (key == "reply-deadline" && in >> word) {
            double seconds = 0;
            if (ToSeconds(word, seconds)) {
                scenario.replyDeadline = seconds;
            } else {
                problem = "reply-deadline takes SECONDS";
            }
        } else if (key == "protocol" && in >> word) {
            if (!ToInt(word, scenario.protocol) || scenario.protocol < 1) problem = "protocol takes a number from 1";
        } else if (key == "call-ids" && in >> word) {
            if (word == "sparse") {
                scenario.sparseCallIds = true;
            } else if (word == "consecutive") {
                scenario.sparseCallIds = false;
            } else {
                problem = "call-ids takes sparse or consecutive";
            }
        } else if (key == "hangup-delay" && in >> word) {
            if (!ToSeconds(word, scenario.hangupDelay)) problem = "hangup-delay takes SECONDS";
        } else if (key == "number" && in >> word) {
            Callee callee;
            if (ParseCallee(in, callee, problem, folder)) {
                if (word == "default") {
                    scenario.fallback = callee;
                } else {
                    scenario.callees[word] = callee;
                }
            }
        } else if (key == "at" && in >> word) {
            TimedAction action;
            std::string kind;
            if (!ToSeconds(word, action.at) || !(in >> kind)) {
                problem = "at takes SECONDS and an action";
            } else if (kind == "userstatus" && in >> action.value) {
                action.kind = TimedAction::Kind::UserStatus;
            } else if (kind == "logout") {
                action.kind = TimedAction::Kind::Logout;
            } else if (kind == "login") {
                action.kind = TimedAction::Kind::Login;
            } else if (kind == "exit") {
                action.kind = TimedAction::Kind::Exit;
            } else if (kind == "incoming") {
                action.kind = TimedAction::Kind::Incoming;
                if (!ParseIncoming(in, action.incoming)) {
                    problem = "incoming takes HANDLE [pstn] ring SECONDS missed|refused|answer";
                }
            } else if (kind == "connstatus" && in >> action.value) {
                action.kind = TimedAction::Kind::ConnStatus;
                if (action.value != "CONNECTING" && action.value != "PAUSING" && action.value != "OFFLINE" &&
                    action.value != "ONLINE") {
                    problem = "connstatus takes CONNECTING, PAUSING, OFFLINE or ONLINE";
                }
            } else {
                problem = "unknown action '" + kind + "'";
            }
            if (problem.empty()) scenario.timeline.push_back(action);
        } else {
            problem = "unknown or incomplete line";
        }
        if (!problem.empty()) {
            error = "line " + std::to_string(lineNumber) + ": " + problem;
            return std::nullopt;
        }
    }
    return scenario;
}

}  // namespace skypesim
