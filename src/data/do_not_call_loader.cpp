#include "data/do_not_call_loader.h"

#include <sys/stat.h>

#include "data/do_not_call.h"

namespace zorvan {

namespace {

struct FileSignature {
    bool exists = false;
    off_t size = 0;
    std::int64_t mtimeNs = 0;
    // Any write or time change moves the change time, and nothing can set it
    // back: a same-size edit whose modification time was restored is seen.
    std::int64_t ctimeNs = 0;
    ino_t inode = 0;
    bool operator==(const FileSignature&) const = default;
};

FileSignature SignatureOf(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    const auto ns = [](const timespec& t) { return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; };
    return {true, st.st_size, ns(st.st_mtim), ns(st.st_ctim), st.st_ino};
}

}  // namespace

DoNotCallLoader::DoNotCallLoader(EventLoop& loop, WaitEvent& closing, DoNotCallList& list,
                                 std::function<std::string()> path)
    : loop_(loop), closing_(closing), list_(list), path_(std::move(path)) {}

DoNotCallLoader::~DoNotCallLoader() {
    wake_.set();
    Join();
}

void DoNotCallLoader::Start() {
    if (thread_.joinable()) {
        wake_.set();
        return;
    }
    thread_ = loop_.spawn([this] { Run(); });
}

void DoNotCallLoader::Join() {
    if (thread_.joinable()) thread_.join();
}

void DoNotCallLoader::Run() {
    std::string lastPath;
    FileSignature lastSignature;
    bool loaded = false;
    while (!closing_.isSet()) {
        const std::string path = path_();
        const FileSignature signature = SignatureOf(path);
        if (!loaded || path != lastPath || !(signature == lastSignature)) {
            list_.Replace(signature.exists ? ReadDoNotCallFile(path) : std::vector<std::string>());
            lastPath = path;
            lastSignature = signature;
            loaded = true;
            loaded_ = true;
        }
        loop_.wait(wake_, kCheckMs);
    }
}

}  // namespace zorvan
