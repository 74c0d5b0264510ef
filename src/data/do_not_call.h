#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace zorvan {

// The normalised numbers of the do-not-call file, indexed so that the
// either-way substring test does not scan the list: a hash of the entries
// answers "the phone contains an entry" through the phone's substrings, and
// an index of the entries' six-character pieces answers "an entry contains
// the phone" through the rarest piece of the phone.
class DoNotCallIndex {
public:
    explicit DoNotCallIndex(std::vector<std::string> entries);
    bool Contains(std::string_view normalizedPhone) const;
    // The entry is in the list as it stands.
    bool Holds(std::string_view normalizedEntry) const;
    std::size_t size() const { return entries_.size(); }
    const std::vector<std::string>& entries() const { return entries_; }

    static constexpr std::size_t kGram = 6;

private:
    bool PhoneContainsEntry(std::string_view n) const;
    bool EntryContainsPhone(std::string_view n) const;

    std::vector<std::string> entries_;
    bool hasEmpty_ = false;
    std::vector<std::uint32_t> slots_;  // open addressing: entry index + 1, 0 free
    std::uint64_t mask_ = 0;
    std::vector<std::uint64_t> grams_;  // sorted: piece hash << kIndexBits | entry index
};

// The list the dial loop asks before a first-pass call. The loader builds a
// new index aside and swaps it in whole; a lookup works on the index it took.
class DoNotCallList {
public:
    // True when the normalised phone contains an entry or an entry contains
    // it. An empty entry matches every phone; an empty phone matches as soon
    // as there is any entry. With the phone's written forms (see
    // phone::WrittenForms), an entry that is the same number written
    // another way matches too ("020 7946 0958" for "+44 20 7946 0958").
    bool Contains(std::string_view phone, const std::vector<std::string>& forms = {}) const;
    void Replace(std::vector<std::string> normalizedEntries);
    void Clear() { Replace({}); }
    std::size_t Count() const;

private:
    std::shared_ptr<const DoNotCallIndex> Current() const;

    mutable std::mutex mutex_;
    std::shared_ptr<const DoNotCallIndex> index_;
};

// Reads a do-not-call file: every non-empty line, normalised. A file that
// cannot be read gives no entries.
std::vector<std::string> ReadDoNotCallFile(const std::string& path);

}  // namespace zorvan
