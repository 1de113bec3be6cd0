// A Google Benchmark reporter that keeps each benchmark's median real time instead of printing a
// table, for benches that print their figures as "name: value" lines.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace kestrom::bench {

// Each benchmark runs `iterations` times per repetition, timed by the wall clock in
// microseconds; only the aggregates are reported.
inline void registerRepeated(const char* name, void (*function)(benchmark::State&),
                             benchmark::IterationCount iterations, int repetitions) {
    benchmark::RegisterBenchmark(name, function)
        ->Iterations(iterations)
        ->Unit(benchmark::kMicrosecond)
        ->UseRealTime()
        ->Repetitions(repetitions)
        ->ReportAggregatesOnly(true);
}

class MedianFigures : public benchmark::BenchmarkReporter {
  public:
    explicit MedianFigures(std::string program) : program_(std::move(program)) {}
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) {
                std::fprintf(stderr, "%s: %s: %s\n", program_.c_str(), run.benchmark_name().c_str(),
                             run.error_message.c_str());
                failed = true;
                continue;
            }
            if (run.aggregate_name == "median")
                micros[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
    }
    std::map<std::string, double> micros;
    bool failed = false;

  private:
    std::string program_;
};

}  // namespace kestrom::bench
