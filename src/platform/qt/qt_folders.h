#pragma once

#include "platform/folders.h"

namespace zorvan {

// XDG documents folder and XDG config folder ($XDG_CONFIG_HOME or ~/.config).
class QtFolders final : public Folders {
public:
    std::string documents() const override;
    std::string config() const override;
};

}  // namespace zorvan
