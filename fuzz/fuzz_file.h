#pragma once

// The readers under fuzzing take paths, as the program gives them: each
// input is written to one file in a folder of the process's own, which is
// removed when the process exits.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace zorvan::fuzz {

inline const std::string& Folder() {
    // Never destroyed, so that it is still there when the folder is removed.
    static const std::string& folder = *[] {
        const char* base = std::getenv("TMPDIR");
        auto* pattern = new std::string(std::string(base != nullptr ? base : "/tmp") + "/zorvan-fuzz-XXXXXX");
        if (::mkdtemp(pattern->data()) == nullptr) std::abort();
        return pattern;
    }();
    static const bool removedAtExit = std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }) == 0;
    (void)removedAtExit;
    return folder;
}

// The input as the file `name`; its path.
inline std::string AsFile(const std::uint8_t* data, std::size_t size, const char* name) {
    const std::string path = Folder() + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
    return path;
}

}  // namespace zorvan::fuzz
