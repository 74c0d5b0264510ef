#pragma once

#include <string>
#include <utility>

namespace zorvan {

// The user's special folders: the documents folder (recordings, automatically
// named campaigns) and the configuration folder (the settings file). Paths
// have no trailing slash; an empty path means the platform does not know it.
class Folders {
public:
    virtual ~Folders() = default;
    virtual std::string documents() const = 0;
    virtual std::string config() const = 0;
};

// Fixed paths, for tests and tools.
class FixedFolders final : public Folders {
public:
    FixedFolders(std::string documents, std::string config)
        : documents_(std::move(documents)), config_(std::move(config)) {}
    std::string documents() const override { return documents_; }
    std::string config() const override { return config_; }

private:
    std::string documents_;
    std::string config_;
};

}  // namespace zorvan
