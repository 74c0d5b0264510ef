// Fuzz target: a settings file in any state, loaded as at start-up (the
// missing keys and lists filled in) and saved again.
#include <cstddef>
#include <cstdint>

#include "data/disposition_list.h"
#include "data/greeting_list.h"
#include "data/settings.h"
#include "fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zorvan;
    const std::string path = fuzz::AsFile(data, size, "conf.xml");
    Settings settings;
    DispositionList dispositions;
    GreetingList greetings;
    settings.Open(path);
    if (settings.Load(dispositions, greetings)) {
        if (!settings.Save(dispositions, greetings)) std::abort();
        Settings reread;
        DispositionList d2;
        GreetingList g2;
        if (!reread.Open(path) || !reread.Load(d2, g2)) std::abort();
        if (!(reread.values() == settings.values())) std::abort();
    }
    return 0;
}
