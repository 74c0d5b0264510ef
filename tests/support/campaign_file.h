#pragma once

// What a campaign file holds after a run, by contact name, as the
// whole-program tests read it back.
#include <pugixml.hpp>

#include <map>
#include <string>

namespace zorvan::test {

struct Written {
    std::string phone, cstatus, ctime, ccon, recfile;
};

inline std::map<std::string, Written> ReadCampaign(const std::string& path) {
    std::map<std::string, Written> out;
    pugi::xml_document doc;
    if (!doc.load_file(path.c_str())) return out;
    for (pugi::xml_node c : doc.child("dialer").child("contacts").children()) {
        out[c.child_value("fname")] = {c.child_value("phone"), c.child_value("cstatus"), c.child_value("ctime"),
                                       c.child_value("ccon"), c.child_value("recfile")};
    }
    return out;
}

inline std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

}  // namespace zorvan::test
