#include "support/conf_checks.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <regex>
#include <utility>
#include <vector>

#include "data/call_status.h"

namespace zorvan::test {

void ExpectFirstStartConf(const std::string& xml, const std::string& recfolder, bool posFilled) {
    EXPECT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>", 0), 0u) << xml;
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(xml.c_str(), pugi::parse_default | pugi::parse_declaration)) << xml;
    const pugi::xml_node root = doc.document_element();
    ASSERT_STREQ(root.name(), "dialer");
    const pugi::xml_node conf = root.first_child();
    ASSERT_STREQ(conf.name(), "conf");
    EXPECT_FALSE(conf.next_sibling()) << "conf is the root's only child";

    const std::vector<std::pair<std::string, std::string>> expected{
        {"countrycode", "+1"},   {"waitforanswer", "45"},   {"redial", "0"},          {"callinterval", "10"},
        {"donotcall", "false"},  {"donotcallfile", ""},     {"vad", "false"},         {"leavemsgtotam", "false"},
        {"leavemsgtotamfile", ""}, {"hangupamline", "false"}, {"msgtohuman", "false"}, {"msgtohumanfile", ""},
        {"autohnafmsg", "false"}, {"autorec", "false"},     {"recfolder", recfolder}, {"msgpercent", "true"},
        {"notes", ""},           {"donotpopcinfo", "false"}, {"popbconn", "true"},    {"lastcamp", ""},
        {"pos", "*"},            {"customize", "false"},    {"fields", "11100000000000"}, {"threshold", "2"},
    };
    pugi::xml_node element = conf.first_child();
    for (const auto& [name, text] : expected) {
        ASSERT_TRUE(element) << "missing " << name;
        EXPECT_EQ(element.name(), name);
        if (name == "pos") {
            if (posFilled) {
                EXPECT_TRUE(std::regex_match(std::string(element.text().get()), std::regex(R"(-?\d+,-?\d+,-?\d+,-?\d+)")))
                    << element.text().get();
            }
        } else {
            EXPECT_EQ(std::string(element.text().get()), text) << name;
        }
        element = element.next_sibling();
    }
    ASSERT_TRUE(element);
    EXPECT_STREQ(element.name(), "disposition");
    int index = 0;
    for (pugi::xml_node item : element.children()) {
        ASSERT_LT(index, kCallStatusCount);
        EXPECT_EQ(std::string(item.name()), "item" + std::to_string(index));
        const auto& d = kDefaultDispositions[static_cast<std::size_t>(index)];
        EXPECT_EQ(item.child("status").text().as_int(-1), index);
        EXPECT_EQ(std::string(item.child("sfield").text().get()), d.name);
        EXPECT_EQ(std::string(item.child("sdesc").text().get()), d.description);
        ++index;
    }
    EXPECT_EQ(index, kCallStatusCount);
    element = element.next_sibling();
    ASSERT_TRUE(element);
    EXPECT_STREQ(element.name(), "greetinglist");
    EXPECT_FALSE(element.first_child());
    // The keys added later follow the lists.
    const std::vector<std::pair<std::string, std::string>> later{
        {"callhours", "false"}, {"callfrom", "08:00"}, {"callto", "21:00"}, {"redialdelay", "0"}, {"amdmode", "0"}};
    for (const auto& [name, text] : later) {
        element = element.next_sibling();
        ASSERT_TRUE(element) << "missing " << name;
        EXPECT_EQ(element.name(), name);
        EXPECT_EQ(std::string(element.text().get()), text) << name;
    }
    EXPECT_FALSE(element.next_sibling()) << "nothing after amdmode";
}

}  // namespace zorvan::test
