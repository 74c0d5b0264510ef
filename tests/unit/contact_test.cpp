#include <gtest/gtest.h>

#include "data/contact.h"
#include "data/contact_list.h"
#include "data/disposition_list.h"
#include "data/status_text.h"
#include "support/temp_dir.h"

namespace zorvan {
namespace {

TEST(NormalizePhoneNumber, RemovesEverySeparatorAndNothingElse) {
    EXPECT_EQ(NormalizePhoneNumber("(416) 123-4567"), "4161234567");
    EXPECT_EQ(NormalizePhoneNumber("+1 416.123_4567 x22"), "+14161234567x22");
    EXPECT_EQ(NormalizePhoneNumber(" .,-_(){}[]"), "");
    // The eleven wide separators.
    EXPECT_EQ(NormalizePhoneNumber("1\u30002\uFF0E3\uFF0C4\uFF0D5\u20146\uFF087\uFF098\uFF5B9\uFF5D0\u30101\u30112"),
              "123456789012");
    // Full-width digits are not digits to it, and other marks stay.
    EXPECT_EQ(NormalizePhoneNumber("\uFF11\uFF12/#*"), "\uFF11\uFF12/#*");
    EXPECT_EQ(ContactElementName(0x1a2b), "c1a2b");
    EXPECT_EQ(ContactElementName(-1), "cffffffff");
}

struct Selection final : DispositionSelection {
    std::vector<int> selected;
    void SelectStatusUnlessChosen(int status) override { selected.push_back(status); }
};

TEST(StatusText, NamesPercentagesAndMissingDispositions) {
    DispositionList list;
    list.AppendDefaults();
    EXPECT_EQ(StatusText(4, list, true, {true, 75}), "Call Succeeded (75%)");
    EXPECT_EQ(StatusText(4, list, false, {true, 75}), "Call Succeeded");
    EXPECT_EQ(StatusText(8, list, true, {false, 0}), "Answering Machine Succeeded");
    EXPECT_EQ(StatusText(8, list, true, {true, 100}), "Answering Machine Succeeded (100%)");
    EXPECT_EQ(StatusText(6, list, true, {true, 50}), "In Progress...") << "only the finished codes get a percentage";
    EXPECT_EQ(StatusText(11, list, true, {}), "");
    EXPECT_EQ(StatusText(-1, list, true, {}), "");
    list.Delete(1);
    EXPECT_EQ(StatusText(1, list, true, {}), "");
    list.Append({3, "Busy again", ""});
    list.Edit(3, "Engaged", "x");
    EXPECT_EQ(StatusText(3, list, true, {}), "Engaged") << "the first entry of a status is the one used";

    Selection box;
    StatusText(2, list, true, {}, &box);
    EXPECT_EQ(box.selected, (std::vector<int>{2}));
}

TEST(ClearAllStatuses, AsksFirstAndEmptiesOnlyTheStatus) {
    ContactList contacts;
    Contact c;
    c.id = 7;
    c.cstatus = "Call Succeeded";
    c.ctime = "10:00:00";
    c.ccon = "00:01:00";
    contacts.Append(c);
    test::FakePrompts prompts;
    std::vector<std::int32_t> cleared;
    prompts.answer = PromptAnswer::No;
    EXPECT_FALSE(ClearAllStatuses(prompts, contacts, [&](std::int32_t id) { cleared.push_back(id); }));
    EXPECT_EQ(contacts.At(0)->cstatus, "Call Succeeded");
    prompts.answer = PromptAnswer::Yes;
    EXPECT_TRUE(ClearAllStatuses(prompts, contacts, [&](std::int32_t id) { cleared.push_back(id); }));
    EXPECT_EQ(prompts.asked.back().text,
              "Are you sure your want to clear all calls status (The call status cannot be recovered if has been "
              "cleared!) ?");
    EXPECT_EQ(prompts.asked.back().caption, "Zorvan Dialer");
    EXPECT_EQ(cleared, (std::vector<std::int32_t>{7}));
    const Contact after = *contacts.At(0);
    EXPECT_EQ(after.cstatus, "");
    EXPECT_EQ(after.ctime, "10:00:00");
    EXPECT_EQ(after.ccon, "00:01:00");
}

}  // namespace
}  // namespace zorvan
