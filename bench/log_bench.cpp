#include "toolkit/log.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unistd.h>

// Every log line is flushed to the file as it is written; this measures lines per second.
namespace
{
std::string logPath()
{
    return "/tmp/korvane-bench-" + std::to_string(getpid()) + ".log";
}

void BM_LogFormattedLine(benchmark::State& state)
{
    const std::string path = logPath();
    brix::Log::open(path.c_str(), false);
    int i = 0;
    for (auto _ : state)
        brix::Log::info("Client %d connected from %s:%d", ++i, "127.0.0.1", 7777);
    brix::Log::close();
    std::remove(path.c_str());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LogFormattedLine);

void BM_LogStringLine(benchmark::State& state)
{
    const std::string path = logPath();
    const std::string text = "Level 'foundry' loaded with 412 blocks and 37 entities";
    brix::Log::open(path.c_str(), false);
    for (auto _ : state)
        brix::Log::info(text);
    brix::Log::close();
    std::remove(path.c_str());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LogStringLine);

void BM_LogFilteredOut(benchmark::State& state)
{
    const std::string path = logPath();
    brix::Log::open(path.c_str(), false);
    brix::Log::setLevel(brix::Log::ERROR);
    for (auto _ : state)
        brix::Log::debug("Never written %d", 1);
    brix::Log::close();
    std::remove(path.c_str());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LogFilteredOut);
} // namespace
