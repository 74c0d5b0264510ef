// The amd-eval tool on a person and an answering machine made with espeak-ng.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
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

// A whole field of milliseconds; -1 when it is not a plain number.
int Millis(const std::string& field) {
    if (field.empty() || field.find_first_not_of("0123456789") != std::string::npos) return -1;
    return std::stoi(field);
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
    // Two files, their two categories, the summary.
    ASSERT_EQ(rows.size(), 5u) << out;
    EXPECT_EQ(rows[2].at(0), "category");
    EXPECT_EQ(rows[2].at(1), "human-hello");
    EXPECT_EQ(rows[3].at(1), "machine-greeting");
    ASSERT_EQ(rows[0].size(), 4u) << out;
    EXPECT_EQ(rows[0][0], person);
    EXPECT_EQ(rows[0][1], "human");
    EXPECT_EQ(rows[0][3], "-") << "no greeting-end cue for a person";
    // Where the person stops speaking, measured on the speech itself: the
    // 0.4 s of line, then espeak's "Hello?" less its trailing silence.
    ASSERT_TRUE(test::Run("sox -q '" + (dir / "p.wav") + "' '" + (dir / "spoken.wav") +
                          "' reverse silence 1 0.02 1% reverse"));
    const double spokenSeconds = std::stod(Output("soxi -D '" + (dir / "spoken.wav") + "'"));
    ASSERT_GT(spokenSeconds, 0.1);
    const int speechEndMs = 400 + static_cast<int>(spokenSeconds * 1000);
    const int personMs = Millis(rows[0][2]);
    EXPECT_EQ(personMs % 10, 0) << "verdicts come at the end of a 10 ms chunk";
    // Never before the 80 chunks of grace and a second of silent chunks;
    // and a second of silence after the speech, plus the detector's hang-over
    // of at most a few tenths, is enough.
    EXPECT_GE(personMs, 1800);
    EXPECT_GE(personMs, speechEndMs + 1000 - 100) << "speech ends at " << speechEndMs << " ms";
    EXPECT_LE(personMs, speechEndMs + 1000 + 400) << "speech ends at " << speechEndMs << " ms";

    ASSERT_EQ(rows[1].size(), 4u) << out;
    EXPECT_EQ(rows[1][0], machine);
    EXPECT_EQ(rows[1][1], "machine");
    EXPECT_EQ(rows[1][2], "3000") << "the machine verdict comes when the window closes";
    EXPECT_GT(Millis(rows[1][3]), 3000) << "the greeting-end cue after the verdict";

    EXPECT_EQ(rows[4], (std::vector<std::string>{"summary", "files=2", "correct=2", "accuracy=1.000",
                                                 "mean_verdict_ms=" + std::to_string((personMs + 3000 + 1) / 2)}))
        << out;

    // Bad input: a clear message and a failing exit code.
    test::WriteFile(dir / "x.wav", "not audio");
    EXPECT_NE(std::system((std::string(AMD_EVAL_BINARY) + " '" + (dir / "x.wav") + "' 2>/dev/null >/dev/null").c_str()), 0);
    EXPECT_NE(Output(std::string(AMD_EVAL_BINARY) + " '" + (dir / "x.wav") + "' 2>&1").find("not a WAV file"),
              std::string::npos);
}

// The rows of amd-eval's output, split into fields.
std::vector<std::vector<std::string>> Rows(const std::string& out) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
        rows.push_back(fields);
    }
    return rows;
}

// Two generated files of each category, through the telephone channel:
// both modes scored per category; the second mode right where the first
// is not, and its message on the beep.
TEST(AmdEval, ScoresBothModesPerCategoryOnAGeneratedCorpus) {
    test::TempDir dir;
    ASSERT_TRUE(test::Run("bash '" + std::string(CORPUS_SCRIPT) + "' --per-category 2 '" + dir.path() + "' >/dev/null"));
    const std::string files = "'" + dir.path() + "'/*.wav";
    const auto zero = Rows(Output(std::string(AMD_EVAL_BINARY) + " --mode 0 --cue " + files));
    const auto one = Rows(Output(std::string(AMD_EVAL_BINARY) + " --mode 1 --cue " + files));
    for (const auto* rows : {&zero, &one}) {
        ASSERT_EQ(rows->size(), 20u + 10u + 1u);
        for (int i = 20; i < 30; ++i) EXPECT_EQ((*rows)[static_cast<std::size_t>(i)].at(0), "category");
        EXPECT_EQ(rows->back().at(0), "summary");
    }
    int correct[2] = {0, 0};
    int beeps = 0;
    for (std::size_t i = 0; i < 20; ++i) {
        const std::string name = std::filesystem::path(one[i].at(0)).filename().string();
        SCOPED_TRACE(name);
        const bool human = name.rfind("human", 0) == 0;
        for (int mode = 0; mode < 2; ++mode) {
            const auto& row = (mode == 0 ? zero : one)[i];
            correct[mode] += row.at(1) == (human ? "human" : "machine");
        }
        if (human) {
            EXPECT_EQ(one[i].at(1), "human");
            EXPECT_LE(Millis(one[i].at(2)), 6000) << "never later than six seconds after the answer";
            EXPECT_EQ(one[i].size(), 4u) << "no cue fields for a person";
        } else if (name.find("-beep") != std::string::npos) {
            ++beeps;
            ASSERT_EQ(one[i].size(), 6u);
            EXPECT_EQ(one[i].at(1), "machine");
            EXPECT_EQ(one[i].at(5), "after") << "the message within half a second of the beep";
            const int late = Millis(one[i].at(3)) - Millis(one[i].at(4));
            EXPECT_GE(late, 0);
            EXPECT_LE(late, 300);
            // The silence count hears the beep too, where it found a machine.
            EXPECT_EQ(zero[i].at(5), zero[i].at(1) == "machine" ? "after" : "none");
        } else {
            EXPECT_EQ(one[i].at(5), "-");
        }
    }
    EXPECT_EQ(beeps, 5);
    EXPECT_EQ(correct[1], 20) << "the short greeting without a beep too, by what it says";
    EXPECT_GT(correct[1], correct[0]);
    EXPECT_NE(one.back().at(2).find("correct=" + std::to_string(correct[1])), std::string::npos);
    EXPECT_EQ(one.back().back(), "cue_after_beep=5/5");

    // A labels file that cannot be read is refused before any work.
    test::WriteFile(dir / "bad.tsv", "file\tkind\nx.wav\tperson\n");
    EXPECT_NE(Output(std::string(AMD_EVAL_BINARY) + " --labels '" + (dir / "bad.tsv") + "' " + files + " 2>&1")
                  .find("bad.tsv, line 2"),
              std::string::npos);
    EXPECT_EQ(std::system((std::string(AMD_EVAL_BINARY) + " --mode 2 x.wav 2>/dev/null").c_str()) >> 8, 2);
}

}  // namespace
}  // namespace zorvan
