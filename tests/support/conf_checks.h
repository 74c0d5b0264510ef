#pragma once

#include <string>

namespace zorvan::test {

// Checks the settings file written right after a first start: element order,
// defaults, item0..item10 dispositions and an empty greeting list. `pos`
// is checked for four comma-separated numbers when posFilled is set.
void ExpectFirstStartConf(const std::string& xml, const std::string& recfolder, bool posFilled);

}  // namespace zorvan::test
