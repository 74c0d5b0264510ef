#include "data/app_folders.h"

#include <filesystem>

#include "platform/folders.h"

namespace zorvan {

AppFolders AppFoldersOf(const Folders& folders) {
    AppFolders result;
    const std::string documents = folders.documents();
    const std::string config = folders.config();
    if (!documents.empty()) result.documents = documents + "/Zorvan";
    if (!config.empty()) result.config = config + "/Zorvan/";
    return result;
}

void EnsureAppFolders(const AppFolders& folders) {
    namespace fs = std::filesystem;
    std::error_code ec;
    // Parents are created as well: on a fresh account the documents folder
    // itself may not exist yet, and recordings need a place to go.
    if (!folders.documents.empty() && !fs::is_directory(folders.documents, ec)) {
        fs::create_directories(folders.documents, ec);
    }
    if (!folders.config.empty()) {
        const fs::path config = fs::path(folders.config).parent_path();
        if (!fs::create_directory(config, ec) && !fs::is_directory(config, ec)) {
            fs::create_directories(config, ec);
        }
    }
}

}  // namespace zorvan
