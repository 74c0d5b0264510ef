#include <gtest/gtest.h>

#include "data/xml_document.h"
#include "support/temp_dir.h"

namespace zorvan {
namespace {

TEST(XmlDocument, NewFileStartsWithTheDeclarationAndElementsAreCreatedInOrder) {
    test::TempDir dir;
    XmlDocument doc;
    ASSERT_TRUE(doc.Open(dir / "new.xml")) << "a missing file is a new document";
    XmlNode conf = doc.ChildElement(doc.Root(), "conf");
    doc.ChildElement(conf, "b");
    doc.ChildElement(conf, "a");
    EXPECT_EQ(doc.ChildElement(conf, "b"), conf.first_child()) << "the first match is reused, not duplicated";
    EXPECT_EQ(doc.Serialize(),
              "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?><dialer><conf><b/><a/></conf></dialer>");
}

TEST(XmlDocument, ParsingIgnoresWhitespaceTextAndReportsBrokenFiles) {
    test::TempDir dir;
    test::WriteFile(dir / "ok.xml", "<?xml version=\"1.0\"?>\n<dialer>\n  <conf>\n    <x> 7 </x>\n  </conf>\n</dialer>\n");
    XmlDocument doc;
    ASSERT_TRUE(doc.Open(dir / "ok.xml"));
    XmlNode conf = doc.ChildElement(doc.Root(), "conf");
    EXPECT_EQ(XmlDocument::Children(conf).length(), 1);
    EXPECT_EQ(XmlDocument::ReadText(doc.ChildElement(conf, "x")), " 7 ");

    test::WriteFile(dir / "bad.xml", "<dialer><conf>");
    EXPECT_FALSE(doc.Open(dir / "bad.xml"));
    EXPECT_EQ(XmlDocument::Children(doc.Root()).length(), 0) << "a broken file gives an empty document";
}

TEST(XmlDocument, ValueRules) {
    XmlDocument doc;
    XmlNode root = doc.Root();
    XmlNode e = doc.ChildElement(root, "e");

    XmlDocument::WriteText(e, "TRUE");
    EXPECT_TRUE(XmlDocument::ReadBool(e, false));
    XmlDocument::WriteText(e, "yes");
    EXPECT_TRUE(XmlDocument::ReadBool(e, true));
    EXPECT_EQ(XmlDocument::ReadText(e), "true") << "an unknown boolean is replaced by the default";

    XmlDocument::WriteText(e, "");
    EXPECT_EQ(XmlDocument::ReadInt(e, 45), 45);
    EXPECT_EQ(XmlDocument::ReadText(e), "45");
    for (const auto& [text, value] : std::vector<std::pair<std::string, int>>{
             {"abc", 0}, {"  -12x", -12}, {"+7", 7}, {"99999999999", 2147483647}, {"-99999999999", -2147483648}}) {
        XmlDocument::WriteText(e, text);
        EXPECT_EQ(XmlDocument::ReadInt(e, 45), value) << text;
        EXPECT_EQ(XmlDocument::ReadText(e), text) << "a non-empty text is never replaced";
    }

    XmlDocument::WriteText(e, "");
    EXPECT_EQ(XmlDocument::ReadText(e, "+1"), "+1");
    EXPECT_EQ(XmlDocument::ReadText(e), "+1");
}

TEST(XmlDocument, ChildListsAndRemoval) {
    XmlDocument doc;
    ASSERT_TRUE(doc.dom().load_string("<dialer><l>keep<item0/><Item1/><item2/></l></dialer>"));
    XmlNode list = doc.Root().child("l");
    const XmlChildList items = XmlDocument::Children(list);
    EXPECT_EQ(items.length(), 3);
    EXPECT_EQ(std::string(XmlDocument::FindChild(items, "item2").name()), "item2");
    EXPECT_FALSE(XmlDocument::FindChild(items, "item1")) << "names compare with their letter case";
    XmlDocument::RemoveFromParent(items.item(0));
    EXPECT_EQ(items.length(), 2);
    XmlDocument::RemoveElementChildren(list);
    EXPECT_EQ(items.length(), 0);
    EXPECT_EQ(XmlDocument::ReadText(list), "keep") << "other node kinds stay";
}

TEST(XmlDocument, SaveRemembersThePathOnlyOnSuccess) {
    test::TempDir dir;
    XmlDocument doc;
    EXPECT_TRUE(doc.Save()) << "nothing to do without a path";
    EXPECT_FALSE(doc.Save(dir / "no/such/folder.xml"));
    EXPECT_TRUE(doc.path().empty());
    ASSERT_TRUE(doc.Save(dir / "a.xml"));
    EXPECT_EQ(doc.path(), dir / "a.xml");
    doc.ChildElement(doc.Root(), "x");
    ASSERT_TRUE(doc.Save());
    EXPECT_NE(test::ReadFile(dir / "a.xml").find("<x/>"), std::string::npos);
}

}  // namespace
}  // namespace zorvan
