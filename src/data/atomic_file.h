#pragma once

#include <string>
#include <string_view>

namespace zorvan {

// Writes a whole file so that it is never seen half written: the bytes go to
// a temporary file in the same folder, which is flushed to disk and renamed
// over the target. On failure the old file is untouched, the temporary file
// is removed, and `error` (when given) receives the system's message.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error = nullptr);

// Whether a file could be written at `path` now (its folder takes new files
// and an existing file there is not read-only); changes nothing.
bool CanWriteFile(const std::string& path, std::string* error = nullptr);

}  // namespace zorvan
