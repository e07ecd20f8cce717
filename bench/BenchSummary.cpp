#include "BenchSummary.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

namespace qm::bench {

namespace {

struct Result {
    double realNanoseconds = 0;  // per iteration
    std::map<std::string, double> counters;
};

// Shows every run as the console reporter does and keeps its figures.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations == 0)
                continue;
            Result& result = results[run.benchmark_name()];
            result.realNanoseconds = run.real_accumulated_time * 1e9 / static_cast<double>(run.iterations);
            for (const auto& [name, counter] : run.counters)
                result.counters[name] = counter.value;
        }
    }

    std::map<std::string, Result> results;
};

const Result* Find(const CollectingReporter& reporter, const std::string& name)
{
    // Names may carry suffixes such as "/real_time" or "/iterations:1".
    for (const auto& [runName, result] : reporter.results) {
        if (runName == name || runName.rfind(name + "/", 0) == 0)
            return &result;
    }
    return nullptr;
}

} // namespace

Figure Figure::Ratio(std::string label, std::string benchmark, std::string floor, double maxRatio)
{
    return {std::move(label), Kind::Ratio, std::move(benchmark), std::move(floor), {}, maxRatio, false};
}

Figure Figure::Counter(std::string label, std::string benchmark, std::string counter, double maxValue, bool atLeast)
{
    return {std::move(label), Kind::Counter, std::move(benchmark), std::move(counter), {}, maxValue, atLeast};
}

Figure Figure::TimePerUnit(std::string label, std::string benchmark, std::function<double()> units,
                           double maxNanoseconds)
{
    return {std::move(label), Kind::TimePerUnit, std::move(benchmark), {}, std::move(units), maxNanoseconds, false};
}

Figure Figure::Time(std::string label, std::string benchmark, double maxMilliseconds)
{
    return {std::move(label), Kind::Time, std::move(benchmark), {}, {}, maxMilliseconds, false};
}

void PrintFigureHead(const std::string& title)
{
    std::printf("\n%s figures\n", title.c_str());
    std::printf("%-42s %14s %14s %8s %10s  %s\n", "figure", "value", "floor", "ratio", "target", "met");
}

void PrintFigureLine(const std::string& label, const std::string& value, const std::string& floor,
                     const std::string& ratio, double measured, double target, bool atLeast)
{
    const bool met = atLeast ? measured >= target : measured <= target;
    std::printf("%-42s %14s %14s %8s %9s%g  %s\n", label.c_str(), value.c_str(), floor.c_str(), ratio.c_str(),
                atLeast ? ">=" : "<=", target, met ? "yes" : "NO");
}

int RunWithSummary(int argc, char** argv, const std::string& title, const std::vector<Figure>& figures)
{
    benchmark::Initialize(&argc, argv);
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    PrintFigureHead(title);
    for (const Figure& figure : figures) {
        const Result* result = Find(reporter, figure.benchmark);
        if (!result) {
            std::printf("%-42s %14s\n", figure.label.c_str(), "(not run)");
            continue;
        }
        double value = 0;
        char valueText[32];
        char floorText[32] = "";
        char ratioText[16] = "";
        switch (figure.kind) {
        case Figure::Kind::Ratio: {
            const Result* floor = Find(reporter, figure.reference);
            if (!floor) {
                std::printf("%-42s %14s\n", figure.label.c_str(), "(no floor)");
                continue;
            }
            value = result->realNanoseconds / floor->realNanoseconds;
            std::snprintf(valueText, sizeof valueText, "%.1f ms", result->realNanoseconds / 1e6);
            std::snprintf(floorText, sizeof floorText, "%.1f ms", floor->realNanoseconds / 1e6);
            std::snprintf(ratioText, sizeof ratioText, "%.2f", value);
            break;
        }
        case Figure::Kind::Counter: {
            const auto it = result->counters.find(figure.reference);
            value = it == result->counters.end() ? 0 : it->second;
            std::snprintf(valueText, sizeof valueText, "%.2f", value);
            break;
        }
        case Figure::Kind::TimePerUnit:
            value = result->realNanoseconds / figure.units();
            std::snprintf(valueText, sizeof valueText, "%.2f ns", value);
            break;
        case Figure::Kind::Time:
            value = result->realNanoseconds / 1e6;
            std::snprintf(valueText, sizeof valueText, "%.2f ms", value);
            break;
        }
        PrintFigureLine(figure.label, valueText, floorText, ratioText, value, figure.target, figure.atLeast);
    }
    benchmark::Shutdown();
    return 0;
}

} // namespace qm::bench
