// Fuzz target: a campaign file edited by hand or cut short, opened as the
// dialer opens one, and when it reads, written out again and read back.
#include <cstddef>
#include <cstdint>

#include "data/campaign_io.h"
#include "data/campaign_store.h"
#include "fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zorvan;
    const std::string path = fuzz::AsFile(data, size, "campaign.xml");
    CampaignFileRead read = ReadCampaignFile(path);
    if (read.result != CampaignOpenResult::Opened) return 0;
    // What was read survives a write and a second read.
    const std::string again = fuzz::Folder() + "/again.xml";
    for (std::size_t i = 0; i < read.contacts.size(); ++i) read.contacts[i].id = static_cast<std::int32_t>(i + 1);
    const bool saved = RebindCampaign(again, read.contacts)->SaveIfModified();
    CampaignStore::Destroy();
    if (!saved) return 0;
    const CampaignFileRead second = ReadCampaignFile(again);
    if (second.result != CampaignOpenResult::Opened || second.contacts.size() != read.contacts.size()) std::abort();
    return 0;
}
