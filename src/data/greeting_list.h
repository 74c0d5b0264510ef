#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace zorvan {

struct GreetingFile {
    std::string description;
    std::string path;
    bool operator==(const GreetingFile&) const = default;
};

// The user's greeting files in insertion order; serialised like the
// disposition list.
class GreetingList {
public:
    static GreetingList& Instance();
    static void DestroyInstance();

    void Append(GreetingFile entry);
    bool Remove(std::size_t index);
    bool Replace(std::size_t index, GreetingFile entry);
    void Clear();
    std::vector<GreetingFile> Entries() const;
    std::size_t Count() const;

private:
    mutable std::mutex mutex_;
    std::vector<GreetingFile> entries_;
};

}  // namespace zorvan
