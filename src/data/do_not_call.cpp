#include "data/do_not_call.h"

#include <algorithm>
#include <functional>

#include "data/contact.h"
#include "data/text_file.h"

namespace zorvan {

namespace {

constexpr int kIndexBits = 26;  // up to 64 million entries
constexpr std::uint64_t kIndexMask = (std::uint64_t{1} << kIndexBits) - 1;

std::uint64_t Hash(std::string_view s) { return std::hash<std::string_view>{}(s); }
std::uint64_t GramKey(std::string_view gram) { return Hash(gram) >> kIndexBits; }

}  // namespace

DoNotCallIndex::DoNotCallIndex(std::vector<std::string> entries) : entries_(std::move(entries)) {
    std::size_t capacity = 16;
    while (capacity < entries_.size() * 2) capacity *= 2;
    slots_.assign(capacity, 0);
    mask_ = capacity - 1;
    std::size_t pieces = 0;
    for (std::size_t i = 0; i < entries_.size() && i <= kIndexMask; ++i) {
        const std::string& e = entries_[i];
        if (e.empty()) {
            hasEmpty_ = true;
            continue;
        }
        for (std::uint64_t slot = Hash(e) & mask_;; slot = (slot + 1) & mask_) {
            if (slots_[slot] == 0) {
                slots_[slot] = static_cast<std::uint32_t>(i + 1);
                break;
            }
            if (entries_[slots_[slot] - 1] == e) break;  // a repeated entry
        }
        if (e.size() >= kGram) pieces += e.size() - kGram + 1;
    }
    grams_.reserve(pieces);
    for (std::size_t i = 0; i < entries_.size() && i <= kIndexMask; ++i) {
        const std::string_view e = entries_[i];
        for (std::size_t at = 0; at + kGram <= e.size(); ++at) {
            grams_.push_back(GramKey(e.substr(at, kGram)) << kIndexBits | i);
        }
    }
    std::sort(grams_.begin(), grams_.end());
}

bool DoNotCallIndex::PhoneContainsEntry(std::string_view n) const {
    for (std::size_t start = 0; start < n.size(); ++start) {
        for (std::size_t length = 1; start + length <= n.size(); ++length) {
            const std::string_view piece = n.substr(start, length);
            for (std::uint64_t slot = Hash(piece) & mask_; slots_[slot] != 0; slot = (slot + 1) & mask_) {
                if (entries_[slots_[slot] - 1] == piece) return true;
            }
        }
    }
    return false;
}

bool DoNotCallIndex::EntryContainsPhone(std::string_view n) const {
    if (n.size() < kGram) {
        // Too short for the piece index; such phones are rare.
        return std::any_of(entries_.begin(), entries_.end(),
                           [n](const std::string& e) { return e.find(n) != std::string::npos; });
    }
    // Every entry holding the phone holds each of its pieces: look through
    // the entries of the rarest one.
    std::pair<std::vector<std::uint64_t>::const_iterator, std::vector<std::uint64_t>::const_iterator> rarest;
    bool first = true;
    for (std::size_t at = 0; at + kGram <= n.size(); ++at) {
        const std::uint64_t key = GramKey(n.substr(at, kGram));
        const auto range = std::equal_range(grams_.begin(), grams_.end(), key << kIndexBits,
                                            [](std::uint64_t a, std::uint64_t b) { return (a >> kIndexBits) < (b >> kIndexBits); });
        if (range.first == range.second) return false;
        if (first || range.second - range.first < rarest.second - rarest.first) rarest = range;
        first = false;
    }
    for (auto it = rarest.first; it != rarest.second; ++it) {
        if (entries_[*it & kIndexMask].find(n) != std::string::npos) return true;
    }
    return false;
}

bool DoNotCallIndex::Contains(std::string_view n) const {
    if (entries_.empty()) return false;
    if (hasEmpty_ || n.empty()) return true;
    return PhoneContainsEntry(n) || EntryContainsPhone(n);
}

bool DoNotCallIndex::Holds(std::string_view n) const {
    if (n.empty()) return hasEmpty_;
    for (std::uint64_t slot = Hash(n) & mask_; slots_[slot] != 0; slot = (slot + 1) & mask_) {
        if (entries_[slots_[slot] - 1] == n) return true;
    }
    return false;
}

bool DoNotCallList::Contains(std::string_view phone, const std::vector<std::string>& forms) const {
    const auto index = Current();
    if (index == nullptr) return false;
    if (index->Contains(NormalizePhoneNumber(phone))) return true;
    return std::any_of(forms.begin(), forms.end(), [&](const std::string& form) { return index->Holds(form); });
}

void DoNotCallList::Replace(std::vector<std::string> normalizedEntries) {
    auto index = std::make_shared<const DoNotCallIndex>(std::move(normalizedEntries));
    std::lock_guard lock(mutex_);
    index_ = std::move(index);
}

std::size_t DoNotCallList::Count() const {
    const auto index = Current();
    return index == nullptr ? 0 : index->size();
}

std::shared_ptr<const DoNotCallIndex> DoNotCallList::Current() const {
    std::lock_guard lock(mutex_);
    return index_;
}

std::vector<std::string> ReadDoNotCallFile(const std::string& path) {
    std::vector<std::string> entries;
    try {
        CUTF16File file = CUTF16File::OpenForReading(path);
        std::string line;
        // Lines in the code page become UTF-8 as the contacts' phones are,
        // so that an entry is one whole text of characters.
        while (file.ReadLineConverted(line)) {
            if (!line.empty()) entries.push_back(NormalizePhoneNumber(line));
        }
    } catch (const FileError&) {
        entries.clear();
    }
    return entries;
}

}  // namespace zorvan
