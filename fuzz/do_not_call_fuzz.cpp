// Fuzz target: a do-not-call file in any encoding and the numbers in it,
// read as the network reads them: the list built from it, each line asked
// about as a contact's phone, in two regions, with its time zones.
#include <cstddef>
#include <cstdint>

#include "data/do_not_call.h"
#include "data/phone_numbers.h"
#include "data/text_file.h"
#include "fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zorvan;
    const std::string path = fuzz::AsFile(data, size, "dnc.csv");
    std::vector<std::string> entries = ReadDoNotCallFile(path);
    const std::vector<std::string> asked(entries.begin(), entries.begin() + std::min<std::size_t>(entries.size(), 8));
    DoNotCallList list;
    list.Replace(std::move(entries));
    for (const std::string& phone : asked) {
        for (const char* code : {"+1", "+44"}) {
            const phone::Reading reading = phone::Read(code, phone);
            if (!list.Contains(phone, reading.forms)) std::abort();  // every entry matches itself
            if (reading.target.kind == phone::DialTarget::Kind::Number) phone::TimeZonesOf(reading.target.text);
        }
    }
    return 0;
}
