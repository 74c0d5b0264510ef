// The amd-eval tool on a person and an answering machine made with espeak-ng.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "support/audio_fixtures.h"
#include "support/temp_dir.h"

namespace zorvan {
namespace {

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
        ::pclose(pipe);
    }
    return out;
}

TEST(AmdEval, JudgesAPersonAndAMachineAndScoresThem) {
    test::TempDir dir;
    const std::string person = dir / "human-hello.wav";
    const std::string machine = dir / "machine-greeting.wav";
    // A person: "Hello?" and then waiting. A machine: a long greeting, a
    // beep, silence. Both at espeak's own rate (22 050 Hz), converted by the tool.
    ASSERT_TRUE(test::Run("espeak-ng -w '" + (dir / "p.wav") + "' 'Hello?' && sox -q '" + (dir / "p.wav") + "' '" +
                          person + "' pad 0.4 5"));
    ASSERT_TRUE(test::Run("espeak-ng -w '" + (dir / "m.wav") +
                          "' 'Hello, you have reached the voice mail of Alex Morgan. I am not able to take your "
                          "call right now. Please leave your name and number after the tone.' && sox -q -n -r 22050 "
                          "-c 1 -b 16 '" + (dir / "beep.wav") + "' synth 0.5 sine 1000 && sox -q '" + (dir / "m.wav") +
                          "' '" + (dir / "beep.wav") + "' '" + machine + "' pad 0.3 5"));
    const std::string out = Output(std::string(AMD_EVAL_BINARY) + " '" + person + "' '" + machine + "'");
    std::istringstream lines(out);
    std::string line;
    std::vector<std::vector<std::string>> rows;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
        rows.push_back(fields);
    }
    ASSERT_EQ(rows.size(), 3u) << out;
    EXPECT_EQ(rows[0], (std::vector<std::string>{person, "human", rows[0][2], "-"}));
    EXPECT_LE(std::stoi(rows[0][2]), 3000);
    EXPECT_GE(std::stoi(rows[0][2]), 1000) << "no verdict before a second of silence";
    ASSERT_EQ(rows[1].size(), 4u);
    EXPECT_EQ(rows[1][1], "machine");
    EXPECT_EQ(rows[1][2], "3000") << "the machine verdict comes when the window closes";
    EXPECT_GT(std::stoi(rows[1][3]), 3000) << "the greeting-end cue after the verdict";
    EXPECT_EQ(rows[2][0], "summary");
    EXPECT_EQ(rows[2][1], "files=2");
    EXPECT_EQ(rows[2][3], "accuracy=1.000");

    // Bad input: a clear message and a failing exit code.
    test::WriteFile(dir / "x.wav", "not audio");
    EXPECT_NE(std::system((std::string(AMD_EVAL_BINARY) + " '" + (dir / "x.wav") + "' 2>/dev/null >/dev/null").c_str()), 0);
    EXPECT_NE(Output(std::string(AMD_EVAL_BINARY) + " '" + (dir / "x.wav") + "' 2>&1").find("not a WAV file"),
              std::string::npos);
}

}  // namespace
}  // namespace zorvan
