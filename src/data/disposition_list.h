#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace zorvan {

struct Disposition {
    int status = 0;
    std::string name;
    std::string description;
    bool operator==(const Disposition&) const = default;
};

// The user's dispositions in insertion order. Several entries may carry the
// same status; lookups and edits use the first. Every operation is
// serialised, since the dial workers look names up while the preset page
// edits the list.
class DispositionList {
public:
    static DispositionList& Instance();
    static void DestroyInstance();

    std::optional<std::string> NameOf(int status) const;
    // Replaces name and description of the first entry with the status.
    bool Edit(int status, const std::string& name, const std::string& description);
    // Removes the first entry with the status.
    bool Delete(int status);
    void Append(Disposition entry);
    // The eleven defaults, codes 0 to 10 in code order.
    void AppendDefaults();
    void Clear();
    std::vector<Disposition> Entries() const;
    std::size_t Count() const;

private:
    mutable std::mutex mutex_;
    std::vector<Disposition> entries_;
};

}  // namespace zorvan
