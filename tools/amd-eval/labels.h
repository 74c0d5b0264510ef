#pragma once

#include <map>
#include <set>
#include <string>

namespace zorvan::tools::amdeval {

enum class Kind { Unknown, Human, Machine };

// What a corpus file is known to hold: a person or a machine, its category,
// and where its speech and its beep end (ms after the answer, -1 unknown).
struct Label {
    Kind kind = Kind::Unknown;
    std::string category;  // "human-oneword", "machine-short", ...
    long speechEndMs = -1;
    long beepStartMs = -1;
    long beepEndMs = -1;
};

// Labels by file name, from tab-separated files (a header line first):
// file, kind, category, speech end, beep start, beep end, in seconds.
class Labels {
public:
    bool Load(const std::string& path, std::string& error);
    // Loads labels.tsv from the file's folder, once per folder, if it is there.
    void LoadBeside(const std::string& file);
    // The file's label; without one, the kind and category from a name of
    // the form KIND-CATEGORY-...
    Label For(const std::string& file) const;

private:
    std::map<std::string, Label> byName_;
    std::set<std::string> folders_;
};

}  // namespace zorvan::tools::amdeval
