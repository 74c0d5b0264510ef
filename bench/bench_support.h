#pragma once

// What the campaign benchmarks share: timing, the process's memory, the
// report line with its goal, and the contacts they are made of.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "data/contact.h"
#include "platform/prompts.h"

namespace zorvan::bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

inline long RssKb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> value;
            return value;
        }
        status.ignore(4096, '\n');
    }
    return 0;
}

inline int failures = 0;

// Benchmarks ask nobody: every question is answered OK.
struct NoPrompts final : Prompts {
    PromptAnswer messageBox(const std::string&, const std::string&, PromptIcon, PromptButtons) override {
        return PromptAnswer::Ok;
    }
};

// One figure next to its goal; a goal of 0 marks a floor, a negative one a
// figure given for information.
inline void Report(const char* what, double value, const char* unit, double goal) {
    const bool ok = goal <= 0 || value <= goal;
    if (!ok) ++failures;
    if (goal > 0) {
        std::printf("%-48s %10.3f %-3s goal <= %g %s  %s\n", what, value, unit, goal, unit, ok ? "ok" : "OVER");
    } else {
        std::printf("%-48s %10.3f %-3s %s\n", what, value, unit, goal == 0 ? "(floor)" : "");
    }
}

inline Contact MakeContact(int i) {
    Contact c;
    c.id = i + 1;
    c.fname = "First" + std::to_string(i);
    c.lname = "Last" + std::to_string(i);
    // Toronto numbers the network could dial: (416) 5xx-xxxx, all different.
    const std::string digits = std::to_string(1000000 + i % 9000000);
    c.phone = "+1 (416) 5" + digits.substr(1, 2) + "-" + digits.substr(3);
    c.email = "person" + std::to_string(i) + "@example.com";
    c.company = "Company " + std::to_string(i % 977);
    c.city = "Toronto";
    c.notes = "Called about the offer; wants a call back";
    c.cstatus = i % 3 == 0 ? "Call Succeeded" : "";
    c.ctime = "10:11:12";
    c.ccon = i % 3 == 0 ? "00:01:05" : "";
    return c;
}

}  // namespace zorvan::bench
