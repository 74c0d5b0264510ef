#include <gtest/gtest.h>

#include <filesystem>

#include "data/disposition_list.h"
#include "data/greeting_list.h"
#include "data/settings.h"
#include "support/conf_checks.h"
#include "support/temp_dir.h"

namespace zorvan {
namespace {

// One settings file in a temporary folder, loaded the way start-up does.
struct Fixture {
    test::TempDir dir;
    std::string path = dir / "conf.xml";
    Settings settings;
    DispositionList dispositions;
    GreetingList greetings;

    bool Load(const std::string* contents = nullptr) {
        if (contents != nullptr) test::WriteFile(path, *contents);
        settings.Open(path);
        return settings.Load(dispositions, greetings);
    }
    bool Save() { return settings.Save(dispositions, greetings); }
};

std::string Conf(const std::string& inner) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?><dialer><conf>" + inner + "</conf></dialer>";
}

TEST(Settings, FirstStartWritesEveryKeyInOrderWithTheDefaults) {
    Fixture f;
    ASSERT_TRUE(f.Load());
    EXPECT_EQ(f.settings.values(), SettingsData{});
    EXPECT_FALSE(std::filesystem::exists(f.path)) << "Load writes nothing to disk";
    f.settings.set(&SettingsData::recfolder, f.dir / "Documents/Zorvan/");
    f.settings.set(&SettingsData::pos, std::string("10,20,730,542"));
    ASSERT_TRUE(f.Save());
    test::ExpectFirstStartConf(test::ReadFile(f.path), f.dir / "Documents/Zorvan/", true);
}

TEST(Settings, ValueEncodingsAndTheirWriteBack) {
    Fixture f;
    const std::string file = Conf(
        "<countrycode></countrycode><waitforanswer>abc</waitforanswer><redial></redial>"
        "<callinterval> 12s</callinterval><donotcall>yes</donotcall><vad>TRUE</vad><autorec>False</autorec>"
        "<notes></notes><fields></fields><threshold>-3</threshold>");
    ASSERT_TRUE(f.Load(&file));
    const SettingsData v = f.settings.values();
    EXPECT_EQ(v.countrycode, "+1");
    EXPECT_EQ(v.waitforanswer, 0) << "a text that is not a number reads as 0";
    EXPECT_EQ(v.redial, 0);
    EXPECT_EQ(v.callinterval, 12);
    EXPECT_FALSE(v.donotcall);
    EXPECT_TRUE(v.vad);
    EXPECT_FALSE(v.autorec);
    EXPECT_EQ(v.fields, "11100000000000");
    EXPECT_EQ(v.threshold, -3);

    const std::string doc = f.settings.Serialize();
    EXPECT_NE(doc.find("<countrycode>+1</countrycode>"), std::string::npos) << doc;
    EXPECT_NE(doc.find("<fields>11100000000000</fields>"), std::string::npos);
    EXPECT_NE(doc.find("<waitforanswer>abc</waitforanswer>"), std::string::npos) << "not empty: left alone";
    EXPECT_NE(doc.find("<redial>0</redial>"), std::string::npos) << "empty: the default is written back";
    EXPECT_NE(doc.find("<donotcall>false</donotcall>"), std::string::npos);
    EXPECT_NE(doc.find("<vad>TRUE</vad>"), std::string::npos) << "a valid boolean keeps its spelling";
    EXPECT_LT(doc.find("<threshold>"), doc.find("<donotcallfile"))
        << "keys present in the file keep their place; missing ones are appended";
}

TEST(Settings, MissingOrEmptyDispositionListGivesTheElevenDefaults) {
    for (const std::string inner : {"", "<disposition></disposition>", "<disposition>  </disposition>"}) {
        Fixture f;
        const std::string file = Conf(inner);
        ASSERT_TRUE(f.Load(&file));
        ASSERT_EQ(f.dispositions.Count(), 11u) << inner;
        EXPECT_EQ(f.dispositions.NameOf(0), "Connecting...");
        EXPECT_EQ(f.dispositions.NameOf(10), "Playing greeting message...");
        ASSERT_TRUE(f.Save());
        const std::string saved = test::ReadFile(f.path);
        EXPECT_NE(saved.find("<item10><status>10</status>"), std::string::npos) << saved;
    }
}

TEST(Settings, ListItemsAreReadWhateverTheirNamesAndRewrittenByPosition) {
    Fixture f;
    const std::string file = Conf(
        "<disposition><entry><status>3</status><sfield>Busy</sfield><sdesc>b</sdesc></entry>"
        "<item7><sfield>No status</sfield></item7></disposition>"
        "<greetinglist><x><fdesc>Hello</fdesc><fpath>/g/hello.wav</fpath></x></greetinglist>");
    ASSERT_TRUE(f.Load(&file));
    const auto entries = f.dispositions.Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], (Disposition{3, "Busy", "b"}));
    EXPECT_EQ(entries[1], (Disposition{0, "No status", ""}));
    EXPECT_EQ(f.greetings.Entries(), (std::vector<GreetingFile>{{"Hello", "/g/hello.wav"}}));
    ASSERT_TRUE(f.Save());
    const std::string saved = test::ReadFile(f.path);
    EXPECT_NE(saved.find("<disposition><item0><status>3</status><sfield>Busy</sfield><sdesc>b</sdesc></item0>"
                         "<item1><status>0</status><sfield>No status</sfield><sdesc/></item1></disposition>"),
              std::string::npos)
        << saved;
    EXPECT_NE(saved.find("<greetinglist><item0><fdesc>Hello</fdesc><fpath>/g/hello.wav</fpath></item0></greetinglist>"),
              std::string::npos);
}

TEST(Settings, FiveEntriesOverElevenItemsLeaveItem0ToItem4AndAnEmptiedListIsNotWritten) {
    Fixture f;
    ASSERT_TRUE(f.Load());
    ASSERT_TRUE(f.Save());  // item0..item10 on disk
    f.dispositions.Clear();
    for (int i = 0; i < 5; ++i) f.dispositions.Append({i * 10, "n" + std::to_string(i), "d"});
    ASSERT_TRUE(f.Save());
    std::string saved = test::ReadFile(f.path);
    EXPECT_NE(saved.find("<item4><status>40</status><sfield>n4</sfield>"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("<item5>"), std::string::npos);

    // The user deletes every entry: the file keeps the previous items, and
    // they come back at the next start.
    f.dispositions.Clear();
    ASSERT_TRUE(f.Save());
    Fixture next;
    next.path = f.path;
    ASSERT_TRUE(next.Load());
    EXPECT_EQ(next.dispositions.Count(), 5u);
    EXPECT_EQ(next.dispositions.NameOf(40), "n4");
}

TEST(Settings, EverySettingSurvivesASaveAndALoad) {
    Fixture f;
    ASSERT_TRUE(f.Load());
    SettingsData v;
    v.countrycode = "+44";
    v.waitforanswer = 30;
    v.redial = 3;
    v.callinterval = 5;
    v.donotcall = true;
    v.donotcallfile = "/home/u/dnc.csv";
    v.vad = true;
    v.leavemsgtotam = true;
    v.leavemsgtotamfile = "/home/u/machine.wav";
    v.hangupamline = true;
    v.msgtohuman = true;
    v.msgtohumanfile = "/home/u/human.mp3";
    v.autohnafmsg = true;
    v.autorec = true;
    v.recfolder = "/home/u/rec/";
    v.msgpercent = false;
    v.notes = "Call back;Not interested;<&\"'>";
    v.donotpopcinfo = true;
    v.popbconn = false;
    v.lastcamp = "/home/u/Documents/Zorvan/Müller & Söhne.xml";
    v.pos = "1,2,803,604";
    v.customize = true;
    v.fields = "10101010101010";
    v.threshold = 3;
    v.callhours = true;
    v.callfrom = "09:30";
    v.callto = "20:00";
    v.redialdelay = 15;
    v.amdmode = 1;
    f.settings.assign(v);
    f.greetings.Append({"Welcome", "/home/u/welcome.wav"});
    ASSERT_TRUE(f.Save());

    Fixture next;
    next.path = f.path;
    ASSERT_TRUE(next.Load());
    EXPECT_EQ(next.settings.values(), v);
    EXPECT_EQ(next.greetings.Entries(), f.greetings.Entries());
    EXPECT_EQ(next.dispositions.Entries(), f.dispositions.Entries());
}

TEST(Settings, AnOlderFileReadsTheDefaultsOfTheLaterKeysAndGetsThemAfterItsLists) {
    Fixture f;
    const std::string older =
        Conf("<countrycode>+44</countrycode><redial>2</redial><threshold>3</threshold>"
             "<disposition><item0><status>0</status><sfield>Call Succeeded</sfield><sdesc>ok</sdesc></item0>"
             "</disposition><greetinglist></greetinglist>");
    ASSERT_TRUE(f.Load(&older));
    const SettingsData v = f.settings.values();
    EXPECT_EQ(v.countrycode, "+44");
    EXPECT_FALSE(v.callhours);
    EXPECT_EQ(v.callfrom, "08:00");
    EXPECT_EQ(v.callto, "21:00");
    EXPECT_EQ(v.redialdelay, 0);
    EXPECT_EQ(v.amdmode, 0) << "the silence count until the user picks the other mode";
    ASSERT_TRUE(f.Save());
    const std::string saved = test::ReadFile(f.path);
    const auto at = [&](const char* text) { return saved.find(text); };
    EXPECT_LT(at("<threshold>"), at("<disposition>"));
    EXPECT_LT(at("<greetinglist"), at("<callhours>false</callhours>")) << saved;
    EXPECT_LT(at("<callhours>"), at("<callfrom>08:00</callfrom>"));
    EXPECT_LT(at("<callfrom>"), at("<callto>21:00</callto>"));
    EXPECT_LT(at("<callto>"), at("<redialdelay>0</redialdelay>"));
    EXPECT_LT(at("<redialdelay>"), at("<amdmode>0</amdmode>"));
    // Empty hours read as the defaults too.
    Fixture emptied;
    const std::string blank = Conf("<callhours>true</callhours><callfrom></callfrom><callto/><redialdelay>x</redialdelay>");
    ASSERT_TRUE(emptied.Load(&blank));
    EXPECT_TRUE(emptied.settings.values().callhours);
    EXPECT_EQ(emptied.settings.values().callfrom, "08:00");
    EXPECT_EQ(emptied.settings.values().callto, "21:00");
    EXPECT_EQ(emptied.settings.values().redialdelay, 0);
}

TEST(Settings, AnUnreadableFileIsKeptAsideBeforeTheDefaultsReplaceIt) {
    Fixture f;
    const std::string broken = "<dialer><conf><countrycode>+49</countrycode>";
    test::WriteFile(f.path, broken);
    EXPECT_FALSE(f.settings.Open(f.path));
    ASSERT_TRUE(f.settings.Load(f.dispositions, f.greetings));
    EXPECT_EQ(f.settings.values(), SettingsData{});
    ASSERT_TRUE(f.Save());
    EXPECT_EQ(test::ReadFile(f.path + ".bad"), broken);
    test::ExpectFirstStartConf(test::ReadFile(f.path), "", false);
}

TEST(Settings, AFolderThatCannotBeCreatedMakesSavingFailQuietly) {
    Fixture f;
    f.path = f.dir / "not-a-folder/conf.xml";
    test::WriteFile(f.dir / "not-a-folder", "a file where the folder should be");
    ASSERT_TRUE(f.Load());
    EXPECT_FALSE(f.Save());
    EXPECT_EQ(f.settings.get(&SettingsData::countrycode), "+1");
}

}  // namespace
}  // namespace zorvan
