#pragma once

#include <optional>
#include <string>

namespace skypeclient {

// How the client behaves on the wire; the defaults are the client as its
// documentation describes it.
struct Behaviour {
    enum class Repeat { None, Early, All };
    enum class Split { None, Random };
    std::string version = "8.99.0.403";
    std::string handle = "zorvan.demo";
    Repeat repeatStatus = Repeat::None;   // statuses sent twice, as real traces show
    int frameBytes = 320;                 // bytes of voice a write
    Split writeSplit = Split::None;       // writes split and merged at random
    std::optional<double> replyDeadline;  // a dialer slower to answer a text is detached
    int protocol = 8;                     // 1: the first protocol's status words
    bool sparseCallIds = false;           // large, non-consecutive call ids
};

}  // namespace skypeclient
