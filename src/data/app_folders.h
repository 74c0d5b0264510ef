#pragma once

#include <string>

namespace zorvan {

class Folders;

// The program's own folders under the user's special folders.
struct AppFolders {
    std::string documents;  // documents folder + "/Zorvan" (no trailing slash); empty when unknown
    std::string config;     // config folder + "/Zorvan/"; empty when unknown
    std::string settingsPath() const { return config.empty() ? std::string() : config + "conf.xml"; }
    // The default recordings folder: documents folder + "/Zorvan/".
    std::string defaultRecFolder() const { return documents.empty() ? std::string() : documents + "/"; }
};

AppFolders AppFoldersOf(const Folders& folders);

// Makes sure both folders exist. Failures are ignored: later writes into
// them fail by their own rules.
void EnsureAppFolders(const AppFolders& folders);

}  // namespace zorvan
