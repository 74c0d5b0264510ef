#include "update/update_check.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace zorvan {

namespace {

std::string Trimmed(std::string text) {
    // The file is read up to its first zero byte.
    if (const auto zero = text.find('\0'); zero != std::string::npos) text.resize(zero);
    const auto first = text.find_first_not_of(" \t\r\n\f\v");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n\f\v");
    return text.substr(first, last - first + 1);
}

// A version as a number, compared digit string against digit string so
// any length works; leading zeros do not count.
std::string Digits(std::string_view text) {
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) return {};
    const auto first = text.find_first_not_of('0');
    return first == std::string_view::npos ? std::string("0") : std::string(text.substr(first));
}

bool Higher(const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() > b.size() : a > b;
}

}  // namespace

std::string UpdateSiteRoot() {
    const char* root = std::getenv("ZORVAN_UPDATE_ROOT");
    std::string text = root != nullptr && *root != '\0' ? root : kUpdateSiteRoot;
    if (text.back() != '/') text += '/';
    return text;
}

int UpdateCheck(HttpGet& http, const std::string& root, std::string_view ownVersion, const WaitEvent* cancel) {
    if (root.empty()) return UpdateNoConnection;
    const HttpReply reply = http.Get(root + "ver.htm", kUpdateTimeoutMs, kVersionBytes, cancel);
    if (!reply.reached || reply.status < 200 || reply.status >= 300) return UpdateOpenFailed;
    std::string text = Trimmed(reply.body.substr(0, kVersionBytes));
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    if (text.empty() || text.find('<') != std::string::npos) return UpdateNoVersion;
    const std::string published = Digits(text);
    const std::string own = Digits(ownVersion);
    if (published.empty()) return UpdateNoVersion;
    return Higher(published, own) ? UpdateAvailable : UpdateCurrent;
}

UpdatePromptThread::UpdatePromptThread(EventLoop& loop, WaitEvent& closing, HttpGet& http, std::string root,
                                       TargetId target, std::uint32_t notifyEvent)
    : loop_(loop), closing_(closing), http_(http), root_(std::move(root)), target_(target), notifyEvent_(notifyEvent) {}

UpdatePromptThread::~UpdatePromptThread() { Join(); }

void UpdatePromptThread::Start() {
    if (!thread_.joinable()) thread_ = loop_.spawn([this] { Run(); });
}

void UpdatePromptThread::Join() {
    if (thread_.joinable()) thread_.join();
}

void UpdatePromptThread::Run() {
    if (loop_.wait(closing_, kDelayMs)) return;  // the program is ending
    const int result = UpdateCheck(http_, root_, kOwnVersion, &closing_);
    result_ = result;
    if (result == UpdateAvailable && !closing_.isSet()) loop_.post(target_, {notifyEvent_, 0, 0});
}

}  // namespace zorvan
