// The contact window's rules without its widgets.
#include <gtest/gtest.h>

#include "dial/contact_window_model.h"
#include "platform/virtual_event_loop.h"
#include "skype/call_table.h"

namespace zorvan {
namespace {

TEST(ContactWindowModel, EachPhaseHasItsTitleAndButtons) {
    const auto calling = ViewOfPhase(CallPhase::Calling, "Ann", "Lee", false);
    EXPECT_EQ(calling.title, "Calling 'Ann Lee' ...");
    EXPECT_TRUE(calling.endCall);
    EXPECT_FALSE(calling.playMsg || calling.record || calling.hold || calling.dialPad);
    EXPECT_TRUE(calling.resetProgress);

    const auto machine = ViewOfPhase(CallPhase::Machine, "Ann", "Lee", false);
    EXPECT_EQ(machine.title, "Call Connected To Ann Lee's Answering Machine");
    EXPECT_TRUE(machine.playMsg && machine.record && machine.hold && machine.endCall && machine.dialPad);
    EXPECT_FALSE(machine.resetProgress);
    for (const CallPhase phase : {CallPhase::Connected, CallPhase::Human, CallPhase::Machine}) {
        EXPECT_FALSE(ViewOfPhase(phase, "A", "B", true).record) << "autorec: the recording is automatic";
    }
    EXPECT_EQ(ViewOfPhase(CallPhase::Human, "Ann", "Lee", false).title, "Call Connected To Ann Lee");
    EXPECT_TRUE(ViewOfPhase(CallPhase::Connected, "A", "B", false).resetProgress);

    const auto finished = ViewOfPhase(CallPhase::Finished, "Ann", "Lee", false);
    EXPECT_EQ(finished.title, "Call Finished With Ann Lee");
    EXPECT_TRUE(finished.resetCall);
    EXPECT_FALSE(finished.endCall || finished.playMsg || finished.record || finished.hold || finished.dialPad);
    EXPECT_EQ(ViewOfPhase(CallPhase::Edit, "Ann", "Lee", false).title, "Edit Contact 'Ann Lee'");
}

TEST(ContactWindowModel, TheGreetingBoxSelectsEvenItsOnlyEntry) {
    const std::vector<GreetingFile> one{{"Spring offer", "/g/spring.wav"}};
    const std::vector<GreetingFile> two{{"Spring offer", "/g/spring.wav"}, {"Reminder", "/g/r.mp3"}};
    EXPECT_TRUE(FillGreetingBox(false, false, {}, std::nullopt).entries.empty());
    EXPECT_FALSE(FillGreetingBox(false, false, {}, std::nullopt).selected);

    const GreetingBox single = FillGreetingBox(false, false, one, std::nullopt);
    ASSERT_EQ(single.entries, (std::vector<BoxEntry>{{"Spring offer", 0}}));
    EXPECT_EQ(single.selected, 0) << "so that Play Msg plays it";

    const GreetingBox full = FillGreetingBox(true, true, two, 3);
    EXPECT_EQ(full.entries, (std::vector<BoxEntry>{{"Greeting for answering machine", 100},
                                                   {"Greeting for human answering", 101},
                                                   {"Spring offer", 0},
                                                   {"Reminder", 1}}));
    EXPECT_EQ(full.selected, 3) << "the remembered entry";
    EXPECT_EQ(FillGreetingBox(false, true, two, 7).selected, 0) << "out of range: the first";

    const std::vector<Disposition> dispositions{{0, "Call Succeeded", ""}, {3, "Line is Busy", ""}};
    EXPECT_EQ(FillDispositionBox(dispositions, 1).selected, 1);
    EXPECT_FALSE(FillDispositionBox(dispositions, 2).selected);
    EXPECT_EQ(FillDispositionBox(dispositions, std::nullopt).entries[1], (BoxEntry{"Line is Busy", 3}));
}

TEST(ContactWindowModel, PresetNotesAreTheNonEmptyPartsUpTo24) {
    EXPECT_EQ(PresetNotes("Call back;Not interested"), (std::vector<std::string>{"Call back", "Not interested"}));
    EXPECT_EQ(PresetNotes(";;a;;b;"), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(PresetNotes("").empty());
    std::string many;
    for (int i = 0; i < 30; ++i) many += "n" + std::to_string(i) + ";";
    const auto notes = PresetNotes(many);
    ASSERT_EQ(notes.size(), 24u);
    EXPECT_EQ(notes.back(), "n23");
}

Contact Person(std::int32_t id) {
    Contact c;
    c.id = id;
    c.fname = "Ann";
    c.phone = "555";
    c.cstatus = "Call Failed";
    return c;
}

TEST(ContactWindowModel, ReadBackWritesTheStatusOnlyWhenTheUserChoseOne) {
    ContactWindowModel window;
    window.Load(Person(4), true);
    EXPECT_FALSE(window.ReadBack(Person(4))) << "nothing changed: nothing to write";

    // The call's outcome changed the status meanwhile; the user edits notes.
    Contact now = Person(4);
    now.cstatus = "Call Succeeded";
    auto fields = std::vector<std::string>(ContactWindowModel::EditedFields().size());
    fields[0] = "Anna";
    fields[2] = "555";
    fields[14] = "wants a brochure";
    window.Edit(fields);
    auto back = window.ReadBack(now);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->fname, "Anna");
    EXPECT_EQ(back->notes, "wants a brochure");
    EXPECT_EQ(back->cstatus, "Call Succeeded") << "the stale box text does not replace the call's status";

    window.ChooseDisposition("Not interested");
    window.SetRecordedFile("/rec/ann.mp3");
    back = window.ReadBack(now);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->cstatus, "Not interested");
    EXPECT_EQ(back->recfile, "/rec/ann.mp3");
    EXPECT_FALSE(window.ReadBack(Person(5))) << "the window shows another contact";
    window.EnterPhase(CallPhase::Finished);
    EXPECT_FALSE(window.userDisposition());
}

TEST(ContactWindowModel, ATonesGoesToTheCallInProgressNeverToOneOnHold) {
    VirtualEventLoop loop;
    SkypeCallTable table(loop, [](const std::string&) { return true; });
    EXPECT_EQ(DtmfCallId(table, ""), "");
    table.SetState("10", SkypeRinging);
    table.SetState("10", SkypeInProgress);
    loop.advance(5000);
    table.SetState("11", SkypeRinging);
    table.SetState("11", SkypeInProgress);
    EXPECT_EQ(DtmfCallId(table, ""), "10") << "the one that started first";
    table.SetState("10", SkypeOnHold);
    EXPECT_EQ(DtmfCallId(table, ""), "11") << "not the older call on hold";
    EXPECT_EQ(DtmfCallId(table, "11"), "11");
    table.SetState("11", SkypeOnHold);
    EXPECT_EQ(DtmfCallId(table, "11"), "") << "nothing in progress: no tone is sent";
}

}  // namespace
}  // namespace zorvan
