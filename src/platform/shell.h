#pragma once

#include <string>

namespace zorvan {

// Opens a web page or a file with the desktop's default application.
class Shell {
public:
    virtual ~Shell() = default;
    virtual void Open(const std::string& urlOrPath) = 0;
};

}  // namespace zorvan
