#include "labels.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace zorvan::tools::amdeval {

namespace {

Kind KindOf(const std::string& text) {
    if (text == "human") return Kind::Human;
    if (text == "machine") return Kind::Machine;
    return Kind::Unknown;
}

// Seconds to ms; "-" or anything unreadable is -1.
long Millis(const std::string& text) {
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !(seconds >= 0)) return -1;
    return std::lround(seconds * 1000);
}

}  // namespace

bool Labels::Load(const std::string& path, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot read the labels file " + path;
        return false;
    }
    std::string line;
    std::getline(in, line);  // the header
    int number = 1;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
        if (fields.size() < 3 || KindOf(fields[1]) == Kind::Unknown) {
            error = path + ", line " + std::to_string(number) + ": expected file, human|machine, category, ...";
            return false;
        }
        Label label;
        label.kind = KindOf(fields[1]);
        label.category = fields[1] + "-" + fields[2];
        if (fields.size() > 3) label.speechEndMs = Millis(fields[3]);
        if (fields.size() > 5) {
            label.beepStartMs = Millis(fields[4]);
            label.beepEndMs = Millis(fields[5]);
        }
        byName_[std::filesystem::path(fields[0]).filename().string()] = label;
    }
    return true;
}

void Labels::LoadBeside(const std::string& file) {
    const std::string folder = std::filesystem::path(file).parent_path().string();
    if (!folders_.insert(folder).second) return;
    const auto path = std::filesystem::path(folder.empty() ? "." : folder) / "labels.tsv";
    std::string error;
    if (std::filesystem::exists(path) && !Load(path.string(), error)) std::fprintf(stderr, "amd-eval: %s\n", error.c_str());
}

Label Labels::For(const std::string& file) const {
    const std::string name = std::filesystem::path(file).filename().string();
    if (const auto found = byName_.find(name); found != byName_.end()) return found->second;
    Label label;
    const std::string stem = std::filesystem::path(file).stem().string();
    const auto dash = stem.find('-');
    label.kind = KindOf(stem.substr(0, dash));
    if (label.kind != Kind::Unknown) {
        const auto next = dash == std::string::npos ? std::string::npos : stem.find('-', dash + 1);
        const std::string category = dash == std::string::npos ? "" : stem.substr(dash + 1, next - dash - 1);
        label.category = stem.substr(0, dash) + (category.empty() ? "" : "-" + category);
    }
    return label;
}

}  // namespace zorvan::tools::amdeval
