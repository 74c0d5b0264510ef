// Settings load and save, the work done at every start and exit.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "data/disposition_list.h"
#include "data/greeting_list.h"
#include "data/settings.h"

namespace {

std::string BenchFile() {
    static const std::string path = [] {
        const auto p = std::filesystem::temp_directory_path() / "zorvan-bench-conf.xml";
        zorvan::Settings settings;
        zorvan::DispositionList dispositions;
        zorvan::GreetingList greetings;
        settings.Open(p.string());
        settings.Load(dispositions, greetings);
        for (int i = 0; i < 50; ++i) greetings.Append({"Greeting " + std::to_string(i), "/home/u/g" + std::to_string(i) + ".wav"});
        settings.Save(dispositions, greetings);
        return p.string();
    }();
    return path;
}

void BM_SettingsOpenAndLoad(benchmark::State& state) {
    const std::string path = BenchFile();
    for (auto _ : state) {
        zorvan::Settings settings;
        zorvan::DispositionList dispositions;
        zorvan::GreetingList greetings;
        settings.Open(path);
        benchmark::DoNotOptimize(settings.Load(dispositions, greetings));
    }
}
BENCHMARK(BM_SettingsOpenAndLoad)->Unit(benchmark::kMicrosecond);

void BM_SettingsSave(benchmark::State& state) {
    const std::string path = BenchFile();
    zorvan::Settings settings;
    zorvan::DispositionList dispositions;
    zorvan::GreetingList greetings;
    settings.Open(path);
    settings.Load(dispositions, greetings);
    for (auto _ : state) benchmark::DoNotOptimize(settings.Save(dispositions, greetings));
}
BENCHMARK(BM_SettingsSave)->Unit(benchmark::kMicrosecond);

}  // namespace
