#pragma once

#include <functional>
#include <string>
#include <vector>

namespace qm::bench {

// One line of the summary printed after the benchmarks: a figure, the
// floor or limit it is held against, and whether it meets its target.
struct Figure {
    enum class Kind { Ratio, Counter, TimePerUnit, Time };

    std::string label;
    Kind kind = Kind::Ratio;
    std::string benchmark;
    std::string reference;           // the floor benchmark, or the counter's name
    std::function<double()> units;   // for TimePerUnit: how many units one iteration handles
    double target = 0;               // the largest acceptable value (a smallest one when atLeast)
    bool atLeast = false;

    static Figure Ratio(std::string label, std::string benchmark, std::string floor, double maxRatio);
    static Figure Counter(std::string label, std::string benchmark, std::string counter, double maxValue,
                          bool atLeast = false);
    static Figure TimePerUnit(std::string label, std::string benchmark, std::function<double()> units,
                              double maxNanoseconds);
    static Figure Time(std::string label, std::string benchmark, double maxMilliseconds);
};

// The summary table: a title line and the column heads, then one line per
// figure (value and floor as text; ratio empty where there is none).
void PrintFigureHead(const std::string& title);
void PrintFigureLine(const std::string& label, const std::string& value, const std::string& floor,
                     const std::string& ratio, double measured, double target, bool atLeast = false);

// Runs the registered benchmarks as benchmark's own main does, then prints
// the figures with their floors, ratios and targets. Exit status 0.
int RunWithSummary(int argc, char** argv, const std::string& title, const std::vector<Figure>& figures);

} // namespace qm::bench
