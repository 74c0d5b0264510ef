// Runs a fuzz target without libFuzzer: every file of the seed folders, then
// a fixed number of mutations of them (deterministic), so an ordinary build
// keeps the target working and catches crashes the seeds lead to.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    std::vector<std::string> seeds;
    int mutations = 20000;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--mutations=", 0) == 0) {
            mutations = std::stoi(arg.substr(12));
            continue;
        }
        for (const auto& entry : std::filesystem::directory_iterator(arg)) {
            std::ifstream in(entry.path(), std::ios::binary);
            seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    }
    if (seeds.empty()) seeds.emplace_back("CALL 1 STATUS RINGING");
    for (const std::string& seed : seeds) {
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(seed.data()), seed.size());
    }
    std::mt19937 random(20261209);
    for (int n = 0; n < mutations; ++n) {
        std::string input = seeds[random() % seeds.size()];
        const int edits = 1 + static_cast<int>(random() % 8);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = input.empty() ? 0 : random() % input.size();
            switch (random() % 4) {
                case 0: if (!input.empty()) input[at] = static_cast<char>(random()); break;
                case 1: input.insert(at, 1, static_cast<char>(random())); break;
                case 2: if (!input.empty()) input.erase(at, 1 + random() % 4); break;
                default: input.insert(at, seeds[random() % seeds.size()]); break;
            }
        }
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    }
    std::printf("fuzz replay: %zu seeds, %d mutations, no crash\n", seeds.size(), mutations);
    return 0;
}
