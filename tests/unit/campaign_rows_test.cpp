// The grid's columns and rows as data, without widgets.
#include <gtest/gtest.h>

#include "data/campaign_rows.h"
#include "data/grid_columns.h"

namespace zorvan {
namespace {

std::vector<std::string> Headings(const GridColumns& grid) {
    std::vector<std::string> out;
    for (const GridColumn& c : grid.columns()) out.push_back(c.heading);
    return out;
}

TEST(GridColumns, TheSettingsChooseTheColumnsAndTheDispositionColumnFollows) {
    const std::vector<std::string> fixed{"First Name", "Last Name", "Phone Number", "Notes", "Call Disposition",
                                         "Duration"};
    EXPECT_EQ(Headings(GridColumns::Build(false, "00011111111111")), fixed) << "not customised: fields is ignored";
    EXPECT_EQ(Headings(GridColumns::Build(true, "11100000000000")), fixed);
    EXPECT_EQ(GridColumns::Build(true, "11100000000000").dispositionColumn(), 4);

    const GridColumns all = GridColumns::Build(true, "11111111111111");
    EXPECT_EQ(all.size(), 17u);
    EXPECT_EQ(all.dispositionColumn(), 15);
    EXPECT_EQ(all.at(6).heading, "Street Address");
    EXPECT_EQ(all.at(13).heading, "Other");

    const GridColumns some = GridColumns::Build(true, "00100100000001");
    EXPECT_EQ(Headings(some), (std::vector<std::string>{"Phone Number", "Job Title", "Other", "Notes",
                                                        "Call Disposition", "Duration"}));
    EXPECT_EQ(some.ColumnOf(&Contact::cstatus), some.dispositionColumn());
    EXPECT_EQ(some.ColumnOf(&Contact::ccon), some.durationColumn());
    EXPECT_EQ(some.ColumnOf(&Contact::fname), -1);
}

TEST(GridColumns, AFieldsValueEditedByHandIsNormalisedWithThePhoneShown) {
    EXPECT_EQ(GridColumns::NormalizeFields("11"), "11100000000000") << "short: filled, phone shown";
    EXPECT_EQ(GridColumns::NormalizeFields("11011111111111"), "11111111111111") << "the phone cannot be hidden";
    EXPECT_EQ(GridColumns::NormalizeFields("1x3 0a900000000001111"), "10100010000000") << "digits above 0 count as shown";
    EXPECT_EQ(GridColumns::NormalizeFields(""), "00100000000000");
    EXPECT_EQ(GridColumns::Build(true, "00").size(), 4u) << "phone, notes, disposition, duration";
}

TEST(GridColumns, MergingTheCellsKeepsWhatTheColumnsDoNotShow) {
    const GridColumns grid = GridColumns::Build(true, "10100000000000");  // first name, phone
    Contact contact;
    contact.fname = "Ann";
    contact.lname = "Hidden";
    contact.phone = "555";
    contact.email = "ann@example.org";
    contact.ctime = "10:00:00";
    contact.recfile = "/rec/ann.mp3";
    const auto cells = grid.Cells(contact);
    ASSERT_EQ(cells, (std::vector<std::string>{"Ann", "555", "", "", ""}));
    grid.Merge(contact, {"Anna", "556", "note", "Call Succeeded", "00:00:42"});
    EXPECT_EQ(contact.fname, "Anna");
    EXPECT_EQ(contact.phone, "556");
    EXPECT_EQ(contact.notes, "note");
    EXPECT_EQ(contact.cstatus, "Call Succeeded");
    EXPECT_EQ(contact.ccon, "00:00:42");
    EXPECT_EQ(contact.lname, "Hidden");
    EXPECT_EQ(contact.email, "ann@example.org");
    EXPECT_EQ(contact.ctime, "10:00:00");
    EXPECT_EQ(contact.recfile, "/rec/ann.mp3");
}

Contact Person(const std::string& name, std::int32_t id = 0) {
    Contact c;
    c.fname = name;
    c.phone = "555" + name;
    c.id = id;
    return c;
}

TEST(CampaignRows, RowsKeepTheirIdsAndNewOnesGetIdsNobodyHadBefore) {
    CampaignRows rows;
    EXPECT_FALSE(rows.hasRoot());
    rows.ReserveIds(7);  // the open file's elements go up to c7
    const std::int32_t a = rows.Insert(Person("a"));
    const std::int32_t b = rows.Insert(Person("b", 3));
    const std::int32_t c = rows.Insert(Person("c", 3));  // taken: a fresh one
    EXPECT_TRUE(rows.hasRoot());
    EXPECT_EQ(a, 8);
    EXPECT_EQ(b, 3);
    EXPECT_EQ(c, 9);
    EXPECT_TRUE(rows.Remove(c));
    EXPECT_EQ(rows.Insert(Person("d")), 10) << "a removed row's id is not given again";
    EXPECT_FALSE(rows.Remove(c));

    // Removing from the middle keeps every other row findable.
    EXPECT_TRUE(rows.Remove(a));
    ASSERT_EQ(rows.count(), 2u);
    EXPECT_EQ(rows.IndexOf(3), 0u);
    EXPECT_EQ(rows.IndexOf(10), 1u);
    EXPECT_EQ(rows.CellsOf(10)->at(0), "d");
    rows.Clear();
    EXPECT_FALSE(rows.hasRoot());
    EXPECT_EQ(rows.Insert(Person("e")), 11);
}

TEST(CampaignRows, AColumnChangeRebuildsTheTextsUnderTheSameIds) {
    CampaignRows rows;
    std::vector<Contact> contacts;
    for (const char* name : {"a", "b", "c"}) {
        Contact c = Person(name);
        c.email = std::string(name) + "@example.org";
        c.id = rows.Insert(c);
        contacts.push_back(c);
    }
    const std::vector<std::int32_t> before{rows.IdAt(0), rows.IdAt(1), rows.IdAt(2)};
    rows.Rebuild(GridColumns::Build(true, "00110000000000"), contacts);
    EXPECT_EQ((std::vector<std::int32_t>{rows.IdAt(0), rows.IdAt(1), rows.IdAt(2)}), before);
    EXPECT_EQ(rows.CellsAt(1), (std::vector<std::string>{"555b", "b@example.org", "", "", ""}));
    EXPECT_TRUE(rows.SetCell(before[2], 4, "00:01:00"));
    EXPECT_FALSE(rows.SetCell(before[2], 5, "x")) << "no such column";
}

TEST(CampaignRows, TheWalkGoesThroughTheRowsInOrderAndEnds) {
    CampaignRows rows;
    EXPECT_EQ(rows.Next(std::nullopt), std::nullopt);
    const auto a = rows.Insert(Person("a"));
    const auto b = rows.Insert(Person("b"));
    const auto c = rows.Insert(Person("c"));
    EXPECT_EQ(rows.Next(std::nullopt), a);
    EXPECT_EQ(rows.Next(a), b);
    EXPECT_EQ(rows.Next(b), c);
    EXPECT_EQ(rows.Next(c), std::nullopt);
    EXPECT_EQ(rows.Next(999), a);
}

}  // namespace
}  // namespace zorvan
