#pragma once

// What a campaign file holds after a run, by contact name, as the
// whole-program tests read it back.
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <map>
#include <string>

#include "support/audio_fixtures.h"

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

// Each named contact's status; an expected status ending in "*" is a prefix.
inline void ExpectStatuses(const std::map<std::string, Written>& written,
                           const std::map<std::string, std::string>& expected) {
    for (const auto& [name, status] : expected) {
        const auto it = written.find(name);
        ASSERT_NE(it, written.end()) << name;
        if (!status.empty() && status.back() == '*') {
            EXPECT_EQ(it->second.cstatus.rfind(status.substr(0, status.size() - 1), 0), 0u)
                << name << ": " << it->second.cstatus;
        } else {
            EXPECT_EQ(it->second.cstatus, status) << name;
        }
    }
}

// The named contacts' recordings: present, decodable by mpg123 (into
// `folder`), longer than three seconds.
inline void ExpectRecordings(const std::map<std::string, Written>& written, std::initializer_list<const char*> names,
                             const std::string& folder) {
    for (const char* name : names) {
        const std::string file = written.at(name).recfile;
        ASSERT_FALSE(file.empty()) << name;
        const std::string decoded = folder + "/" + name + ".wav";
        ASSERT_TRUE(Run("mpg123 -q -w '" + decoded + "' '" + file + "'")) << file;
        int rate = 0;
        const auto samples = ReadWav(decoded, &rate);
        ASSERT_GT(rate, 0);
        EXPECT_GT(static_cast<double>(samples.size()) / rate, 3.0) << name;
    }
}

// The settings both whole-campaign tests dial with: country code +1, a short
// wait for the answer, one redial, detection, the machine greeting,
// recordings, a do-not-call file.
inline std::string CampaignSettings(const std::string& doNotCall, const std::string& greeting,
                                    const std::string& recordings) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><dialer><conf>"
           "<countrycode>+1</countrycode><waitforanswer>4</waitforanswer><redial>1</redial>"
           "<callinterval>0</callinterval><donotcall>true</donotcall><donotcallfile>" + doNotCall +
           "</donotcallfile><vad>true</vad><threshold>2</threshold><leavemsgtotam>true</leavemsgtotam>"
           "<leavemsgtotamfile>" + greeting + "</leavemsgtotamfile><autorec>true</autorec><recfolder>" +
           recordings + "</recfolder><donotpopcinfo>true</donotpopcinfo></conf></dialer>";
}

}  // namespace zorvan::test
