// The dial loop and the call outcome handling at scale, in virtual time:
// a controller that ends every call as soon as it is placed, campaigns of
// 1 000 to 100 000 contacts (a third with a status already, a do-not-call
// list of 20 000 numbers). CPU time per placed call, which must not grow
// with the campaign: no step may scan it.
#include <sys/resource.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.h"
#include "support/dial_rig.h"

namespace {

using namespace zorvan;

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU microseconds per placed call over a whole first pass and its redials.
double PerCall(int contacts, std::size_t* placed) {
    test::AnsweringPrompts prompts;
    test::DialRig rig(prompts);
    rig.settings.donotcall = true;
    rig.settings.redial = 1;
    std::vector<std::string> dnc;
    for (int i = 0; i < 20000; ++i) dnc.push_back("4165559" + std::to_string(100000 + i));
    rig.doNotCall.Replace(dnc);
    for (int i = 0; i < contacts; ++i) {
        const Contact c = bench::MakeContact(i);
        rig.Add(c.phone, c.cstatus, c.fname);
    }
    rig.engine->OnAutoButton();
    const double start = CpuSeconds();
    // Every third call busy (to the redial list), the rest answered.
    for (std::size_t n = 0; rig.engine->mode() != Idle; ++n) {
        if (n % 3 == 1) {
            rig.End(11);
        } else {
            rig.Post(um::UM_CALL_DIALING);
            rig.Post(um::UM_CALL_CONNECTED);
            rig.End(8);
        }
        rig.loop.runPending();
    }
    *placed = rig.Dialed();
    return (CpuSeconds() - start) * 1e6 / static_cast<double>(*placed);
}

}  // namespace

int main() {
    std::printf("Dial loop and call outcome handling (virtual time, calls ended at once)\n");
    double first = 0;
    for (const int n : {1000, 10000, 100000}) {
        std::size_t placed = 0;
        const double us = PerCall(n, &placed);
        if (first == 0) first = us;
        const std::string what = "CPU per placed call, " + std::to_string(n) + " contacts (" +
                                 std::to_string(placed) + " calls)";
        bench::Report(what.c_str(), us, "us", 50);
    }
    std::size_t placed = 0;
    const double largest = PerCall(100000, &placed);
    bench::Report("100 000 against 1 000 contacts (flat: about 1)", largest / first, "x", 3);
    return bench::failures == 0 ? 0 : 1;
}
