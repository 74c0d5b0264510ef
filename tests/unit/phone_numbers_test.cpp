// Numbers as the network reads them (E.164 through libphonenumber), the time
// zones a number lies in, and local calling hours across zones and
// daylight-saving changes.
#include <gtest/gtest.h>

#include <chrono>

#include "data/contact_import.h"
#include "data/do_not_call.h"
#include "data/phone_numbers.h"
#include "dial/calling_hours.h"
#include "dial/options_rules.h"

namespace zorvan {
namespace {

using Kind = phone::DialTarget::Kind;

std::string Dialled(const char* countryCode, const char* phone) {
    const phone::DialTarget t = phone::ForDialing(countryCode, phone);
    return t.kind == Kind::Impossible ? "impossible" : t.text;
}

// Milliseconds since the epoch of a UTC date and time.
std::int64_t Utc(int y, int mo, int d, int h, int mi) {
    using namespace std::chrono;
    const sys_days day = year{y} / mo / d;
    return duration_cast<milliseconds>((day + hours{h} + minutes{mi}).time_since_epoch()).count();
}

TEST(PhoneNumbers, NationalNumbersWithTheirTrunkPrefixBecomeE164UnderTheirCountryCode) {
    EXPECT_EQ(Dialled("+44", "020 7946 0958"), "+442079460958");
    EXPECT_EQ(Dialled("+49", "030 123456"), "+4930123456");
    EXPECT_EQ(Dialled("+49", "(0 30) 901820"), "+4930901820");
    EXPECT_EQ(Dialled("+33", "01 23 45 67 89"), "+33123456789");
    EXPECT_EQ(Dialled("+61", "02 9876 5432"), "+61298765432");
    EXPECT_EQ(Dialled("+61", "(02) 9876-5432"), "+61298765432");
    // The setting as users type it.
    EXPECT_EQ(Dialled("44", "020 7946 0958"), "+442079460958");
    EXPECT_EQ(Dialled("0044", "020 7946 0958"), "+442079460958");
    EXPECT_EQ(Dialled(" +44 ", "020 7946 0958"), "+442079460958");
}

TEST(PhoneNumbers, PlusAndDoubleZeroFormsAreNotPrefixedTwice) {
    EXPECT_EQ(Dialled("+1", "+44 20 7946 0958"), "+442079460958");
    EXPECT_EQ(Dialled("+44", "+49 30 123456"), "+4930123456");
    // "00" is the international prefix in the region, and also read as one
    // where the region's own is another (North America's "011").
    EXPECT_EQ(Dialled("+44", "00 49 30 123456"), "+4930123456");
    EXPECT_EQ(Dialled("+1", "00 49 30 123456"), "+4930123456");
    EXPECT_EQ(Dialled("+1", "011 49 30 123456"), "+4930123456");
    // A United States number with and without its "1".
    EXPECT_EQ(Dialled("+1", "(212) 555-0123"), "+12125550123");
    EXPECT_EQ(Dialled("+1", "1 212 555 0123"), "+12125550123");
    EXPECT_EQ(Dialled("+1", "1-212-555-0123"), "+12125550123");
}

TEST(PhoneNumbers, ImpossibleNumbersAndUnknownCallingCodes) {
    for (const char* phone : {"12", "123456789012345678", "call me", "", "+44 12"}) {
        EXPECT_EQ(phone::ForDialing("+1", phone).kind, Kind::Impossible) << phone;
    }
    // A calling code with no region keeps the code-then-text rule.
    EXPECT_EQ(phone::ForDialing("+999", "12 34").kind, Kind::AsTyped);
    EXPECT_EQ(phone::ForDialing("+999", "12 34").text, "+99912 34");
    EXPECT_EQ(phone::ForDialing("", "5550100").text, "5550100");
    EXPECT_EQ(phone::ForDialing("+999", "+44 20").text, "+44 20");
    EXPECT_EQ(phone::RegionOf("+44"), "GB");
    EXPECT_EQ(phone::RegionOf("+1"), "US");
    EXPECT_EQ(phone::RegionOf("+999"), "");
    EXPECT_EQ(phone::RegionOf("+800"), "") << "a global service has no region";
    EXPECT_EQ(phone::RegionOf("e.g. USA"), "");
}

TEST(PhoneNumbers, DoNotCallAndDuplicatesCompareTheSameNumberWrittenEitherWay) {
    DoNotCallList list;
    list.Replace({NormalizePhoneNumber("416,1234567"), NormalizePhoneNumber("020 7946 0958"),
                  NormalizePhoneNumber("0049 30 901820")});
    const auto listed = [&](const char* phone, const char* region) {
        return list.Contains(phone, phone::WrittenForms(phone, region));
    };
    EXPECT_TRUE(listed("+1 416 123 4567", "US"));
    EXPECT_TRUE(listed("+44 20 7946 0958", "US")) << "the national entry is the same number";
    EXPECT_TRUE(listed("+49 30 901820", "GB"));
    EXPECT_TRUE(listed("030 901820", "DE"));
    EXPECT_FALSE(listed("+44 20 7946 0959", "US"));
    EXPECT_FALSE(listed("+49 30 901821", "DE"));
    // Without forms, the plain rule.
    EXPECT_FALSE(list.Contains("+44 20 7946 0958"));

    EXPECT_EQ(PhoneKey("+1 416 123 4567", "US"), PhoneKey("416-123-4567", "US"));
    EXPECT_EQ(PhoneKey("1 (416) 123 4567", "US"), PhoneKey("416.123.4567", "US"));
    EXPECT_EQ(PhoneKey("020 7946 0958", "GB"), PhoneKey("+44 20 7946 0958", "GB"));
    EXPECT_NE(PhoneKey("020 7946 0958", "GB"), PhoneKey("020 7946 0958", "DE"));
    EXPECT_EQ(PhoneKey("Ext-A", "US"), "exta") << "what is no number keeps the plain key";
}

TEST(PhoneNumbers, TimeZonesFollowTheNumbersPrefix) {
    using Zones = std::vector<std::string>;
    EXPECT_EQ(phone::TimeZonesOf("+12125550123"), Zones{"America/New_York"});
    EXPECT_EQ(phone::TimeZonesOf("+13105550123"), Zones{"America/Los_Angeles"});
    EXPECT_EQ(phone::TimeZonesOf("+442079460958"), Zones{"Europe/London"});
    EXPECT_EQ(phone::TimeZonesOf("+4930901820"), Zones{"Europe/Berlin"});
    const Zones australia = phone::TimeZonesOf("+61412345678");  // a mobile: the whole country
    EXPECT_GT(australia.size(), 3u);
    EXPECT_NE(std::find(australia.begin(), australia.end(), "Australia/Perth"), australia.end());
    EXPECT_TRUE(phone::TimeZonesOf("+15550100001").empty()) << "not a valid number: no zone";
    EXPECT_TRUE(phone::TimeZonesOf("nonsense").empty());
}

TEST(CallingHours, ClockTimesAndWindows) {
    EXPECT_EQ(ParseClockTime("08:00"), 480);
    EXPECT_EQ(ParseClockTime("8:05"), 485);
    EXPECT_EQ(ParseClockTime(" 23:59 "), 1439);
    for (const char* bad : {"24:00", "12:60", "1200", "12:5", "", "ab:cd", "-1:00", "123:00"}) {
        EXPECT_FALSE(ParseClockTime(bad)) << bad;
    }
    const CallingWindow day{8 * 60, 21 * 60};
    EXPECT_TRUE(day.Holds(480));
    EXPECT_FALSE(day.Holds(479));
    EXPECT_FALSE(day.Holds(21 * 60)) << "the end is not inside";
    const CallingWindow night{22 * 60, 6 * 60};
    EXPECT_TRUE(night.Holds(23 * 60));
    EXPECT_TRUE(night.Holds(60));
    EXPECT_FALSE(night.Holds(12 * 60));

    EXPECT_EQ(CheckCallingHours(true, "8:00", "21:30").from, "08:00");
    EXPECT_EQ(CheckCallingHours(true, "8:00", "21:30").message, "");
    EXPECT_EQ(CheckCallingHours(true, "8", "21:30").message, "Enter a time from 00:00 to 23:59, such as 08:00.");
    EXPECT_TRUE(CheckCallingHours(true, "08:00", "25:00").wrongTo);
    EXPECT_NE(CheckCallingHours(true, "09:00", "9:00").message, "");
    const CallingHoursField off = CheckCallingHours(false, "soon", "later");
    EXPECT_EQ(off.message, "") << "boxes that are off do not stop OK";
    EXPECT_EQ(off.from, "08:00");
    EXPECT_EQ(off.to, "21:00");
}

TEST(CallingHours, NewYorkIsOpenWhileLosAngelesWaitsForItsOwnEight) {
    const CallingWindow window{8 * 60, 21 * 60};
    const std::int64_t halfPastEightInNewYork = Utc(2026, 1, 15, 13, 30);  // EST, UTC-5
    const std::vector<std::string> ny{"America/New_York"};
    const std::vector<std::string> la{"America/Los_Angeles"};
    EXPECT_EQ(calling_hours::LocalMinute("America/New_York", halfPastEightInNewYork), 8 * 60 + 30);
    EXPECT_TRUE(calling_hours::Inside(ny, window, halfPastEightInNewYork));
    EXPECT_FALSE(calling_hours::Inside(la, window, halfPastEightInNewYork));
    EXPECT_EQ(calling_hours::NextOpen(ny, window, halfPastEightInNewYork), halfPastEightInNewYork);
    EXPECT_EQ(calling_hours::NextOpen(la, window, halfPastEightInNewYork), Utc(2026, 1, 15, 16, 0));
    // Both: open once the later one opens, closed once the earlier closes.
    const std::vector<std::string> both{"America/New_York", "America/Los_Angeles"};
    EXPECT_EQ(calling_hours::NextOpen(both, window, halfPastEightInNewYork), Utc(2026, 1, 15, 16, 0));
    EXPECT_FALSE(calling_hours::Inside(both, window, Utc(2026, 1, 16, 2, 0))) << "21:00 in New York";
    // After the day's window: tomorrow's opening.
    EXPECT_EQ(calling_hours::NextOpen(ny, window, Utc(2026, 1, 16, 3, 0)), Utc(2026, 1, 16, 13, 0));
    // Zones whose windows never meet.
    const std::vector<std::string> apart{"Pacific/Kiritimati", "Pacific/Pago_Pago"};  // 25 hours apart
    EXPECT_FALSE(calling_hours::NextOpen(apart, CallingWindow{9 * 60, 10 * 60}, halfPastEightInNewYork));
}

TEST(CallingHours, ADaylightSavingChangeInsideTheWaitMovesTheOpening) {
    const CallingWindow window{8 * 60, 21 * 60};
    const std::vector<std::string> ny{"America/New_York"};
    // 2026-03-08: clocks go from 02:00 EST to 03:00 EDT; 08:00 is 12:00 UTC,
    // not 13:00 as the evening before would suggest.
    EXPECT_EQ(calling_hours::NextOpen(ny, window, Utc(2026, 3, 8, 2, 0)), Utc(2026, 3, 8, 12, 0));
    // 2026-11-01: back to EST; 08:00 is 13:00 UTC.
    EXPECT_EQ(calling_hours::NextOpen(ny, window, Utc(2026, 11, 1, 2, 0)), Utc(2026, 11, 1, 13, 0));
    const std::vector<std::string> london{"Europe/London"};
    EXPECT_EQ(calling_hours::NextOpen(london, window, Utc(2026, 3, 28, 22, 0)), Utc(2026, 3, 29, 7, 0));
}

TEST(CallingHours, NoZoneMeansTheComputersOwnClock) {
    const CallingWindow window{8 * 60, 21 * 60};
    ::setenv("TZ", "Asia/Tokyo", 1);  // UTC+9
    EXPECT_EQ(calling_hours::LocalMinute("", Utc(2026, 1, 15, 0, 0)), 9 * 60);
    EXPECT_EQ(calling_hours::LocalMinute("Not/A_Zone", Utc(2026, 1, 15, 0, 0)), 9 * 60);
    EXPECT_EQ(calling_hours::NextOpen({}, window, Utc(2026, 1, 14, 20, 0)), Utc(2026, 1, 14, 23, 0));
    ::setenv("TZ", "UTC", 1);
    EXPECT_EQ(calling_hours::LocalMinute("", Utc(2026, 1, 15, 0, 0)), 0);
}

}  // namespace
}  // namespace zorvan
