// Whole processes as a user runs them, with the file warm in the page
// cache, each beside its floor: mobtool stat against load_floor (the least
// any loader must do), mobtool save against cp and sync of the same bytes,
// the editor from its start to a usable tree against mobtool stat, and the
// peak resident memory of each. The processes take turns, round after
// round, so that the machine's other work falls on all of them alike.
//
//   process_bench [--rounds N] [--baseline BUILD_DIR]
//
// --baseline runs another build's mobtool and editor in the same rounds
// and gives their figures too: a before and after from one series.
// QUILLMERE_BENCH_CHUNKS sets the file's size, QUILLMERE_BENCH_ROUNDS the
// rounds (default 15). The editor needs a display (bench/run starts Xvfb)
// or QT_QPA_PLATFORM; without either its figure is left out.

#include "BenchFile.h"
#include "BenchSummary.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <signal.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace qm::bench {
namespace {

using Clock = std::chrono::steady_clock;
using Command = std::vector<std::string>;

constexpr double kMiB = 1024.0 * 1024.0;
constexpr auto kReadyTimeout = std::chrono::seconds(120);

struct Sample {
    double ms = 0;
    double peakMiB = 0;
    // User and system time of the whole run: on a busy machine the wall
    // time also holds the wait for a core, which this does not.
    double cpuMs = 0;
};

struct Ended {
    double peakMiB;
    double cpuMs;
};

double Ms(const timeval& time)
{
    return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_usec) / 1e3;
}

// One thing a user does: one or more commands run one after the other.
struct Subject {
    std::string name;
    std::vector<Command> commands;
    // The editor: timed to its "ready" line, not to its end.
    bool untilReady = false;
    std::vector<Sample> samples;
};

[[noreturn]] void Fail(const std::string& what)
{
    throw std::runtime_error(what);
}

std::string Joined(const Command& command)
{
    std::string text;
    for (const std::string& word : command)
        text += (text.empty() ? "" : " ") + word;
    return text;
}

std::string Slurp(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Starts command in folder with standard output to outFd and standard
// error to errPath.
pid_t Start(const Command& command, const std::string& folder, int outFd, const std::string& errPath)
{
    std::vector<char*> argv;
    for (const std::string& word : command)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0)
        Fail("fork failed");
    if (pid == 0) {
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (::chdir(folder.c_str()) != 0 || err < 0 || ::dup2(outFd, STDOUT_FILENO) < 0 ||
            ::dup2(err, STDERR_FILENO) < 0)
            ::_exit(126);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

// Waits for the process; its peak resident memory in MiB and the processor
// time it used. Fails unless it ended with status 0.
Ended Finish(pid_t pid, const Command& command, const std::string& errPath)
{
    int status = 0;
    struct rusage usage {};
    while (::wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR)
            Fail("wait4 failed");
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        Fail(Joined(command) + " failed (status " + std::to_string(status) + "):\n" + Slurp(errPath));
    return {static_cast<double>(usage.ru_maxrss) * 1024.0 / kMiB, Ms(usage.ru_utime) + Ms(usage.ru_stime)};
}

// Reads the editor's output until its "ready NODES" line; the node count.
std::size_t ReadReadyLine(int fd, pid_t pid)
{
    std::string said;
    const auto deadline = Clock::now() + kReadyTimeout;
    char buffer[256];
    while (said.find('\n') == std::string::npos) {
        if (Clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            Fail("the editor never said it was ready");
        }
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            Fail("the editor ended without saying it was ready");
        said.append(buffer, static_cast<std::size_t>(got));
    }
    std::size_t nodes = 0;
    if (std::sscanf(said.c_str(), "ready %zu", &nodes) != 1)
        Fail("the editor said: " + said);
    return nodes;
}

class ProcessBench {
public:
    ProcessBench(std::string mobtool, std::string editor, std::string baseline)
        : m_file(BenchFile::Get()), m_mobtool(std::move(mobtool)), m_editor(std::move(editor)),
          m_baseline(std::move(baseline))
    {
        m_errPath = m_file.folder + "/stderr.txt";
        // The editor reads its settings from here, not from the user's.
        ::setenv("XDG_CONFIG_HOME", (m_file.folder + "/config").c_str(), 1);
        const std::string floor = QUILLMERE_LOAD_FLOOR;
        Add("load floor", {{floor, m_file.mobPath}});
        Add("load floor, huge pages", {{floor, "--huge-pages", m_file.mobPath}});
        AddBuild("", m_mobtool, m_editor);
        if (!m_baseline.empty())
            AddBuild("before: ", m_baseline + "/src/cli/mobtool", m_baseline + "/src/app/quillmere");
        const std::string copy = m_file.folder + "/copied.mob";
        Add("cp + sync", {{"cp", m_file.mobPath, copy}, {"sync", copy}});
    }

    void Run(int rounds)
    {
        // The first round only warms the page cache, the font cache and
        // the lock folder.
        for (Subject& subject : m_subjects)
            RunOnce(subject);
        for (Subject& subject : m_subjects)
            subject.samples.clear();
        const double loadBefore = LoadAverage();
        // Each round starts with another subject, so that none always
        // follows the same neighbour.
        for (int round = 0; round < rounds; ++round) {
            for (std::size_t i = 0; i < m_subjects.size(); ++i) {
                Subject& subject = m_subjects[(i + static_cast<std::size_t>(round)) % m_subjects.size()];
                subject.samples.push_back(RunOnce(subject));
            }
        }
        Report(rounds, loadBefore, LoadAverage());
    }

private:
    void Add(std::string name, std::vector<Command> commands, bool untilReady = false)
    {
        m_subjects.push_back({std::move(name), std::move(commands), untilReady, {}});
    }

    void AddBuild(const std::string& prefix, const std::string& mobtool, const std::string& editor)
    {
        const std::string desc = "--desc=" + m_file.descPath;
        Add(prefix + "mobtool stat", {{mobtool, desc, "stat", m_file.mobPath}});
        Add(prefix + "mobtool save", {{mobtool, desc, "save", m_file.mobPath, m_file.folder + "/saved.mob"}});
        if (!editor.empty() && HasDisplay())
            Add(prefix + "editor to usable tree", {{editor, "--exit-when-ready", m_file.mobPath}}, true);
    }

    static bool HasDisplay()
    {
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            if (const char* value = std::getenv(name); value && *value)
                return true;
        }
        return false;
    }

    Sample RunOnce(const Subject& subject)
    {
        Sample sample;
        for (const Command& command : subject.commands) {
            const Sample step = subject.untilReady ? RunUntilReady(command) : RunToEnd(command);
            sample.ms += step.ms;
            sample.cpuMs += step.cpuMs;
            sample.peakMiB = std::max(sample.peakMiB, step.peakMiB);
        }
        return sample;
    }

    Sample RunToEnd(const Command& command)
    {
        const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        const auto start = Clock::now();
        const pid_t pid = Start(command, m_file.folder, devNull, m_errPath);
        ::close(devNull);
        const Ended ended = Finish(pid, command, m_errPath);
        return {std::chrono::duration<double, std::milli>(Clock::now() - start).count(), ended.peakMiB, ended.cpuMs};
    }

    Sample RunUntilReady(const Command& command)
    {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            Fail("pipe failed");
        const auto start = Clock::now();
        const pid_t pid = Start(command, m_file.folder, out[1], m_errPath);
        ::close(out[1]);
        const std::size_t nodes = ReadReadyLine(out[0], pid);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        ::close(out[0]);
        const Ended ended = Finish(pid, command, m_errPath);
        if (nodes != m_file.chunks + 1)
            Fail("the editor showed " + std::to_string(nodes) + " nodes:\n" + Slurp(m_errPath));
        return {ms, ended.peakMiB, ended.cpuMs};
    }

    static double LoadAverage()
    {
        double load = 0;
        if (FILE* file = std::fopen("/proc/loadavg", "r")) {
            if (std::fscanf(file, "%lf", &load) != 1)
                load = 0;
            std::fclose(file);
        }
        return load;
    }

    const Subject* Find(const std::string& name) const
    {
        for (const Subject& subject : m_subjects) {
            if (subject.name == name)
                return &subject;
        }
        return nullptr;
    }

    static double Quantile(std::vector<double> values, double q)
    {
        std::sort(values.begin(), values.end());
        const double at = q * static_cast<double>(values.size() - 1);
        const auto below = static_cast<std::size_t>(at);
        const std::size_t above = std::min(below + 1, values.size() - 1);
        return values[below] + (values[above] - values[below]) * (at - static_cast<double>(below));
    }

    static std::vector<double> Values(const Subject& s, double Sample::*field)
    {
        std::vector<double> values;
        for (const Sample& sample : s.samples)
            values.push_back(sample.*field);
        return values;
    }

    static double MedianMs(const Subject& s) { return Quantile(Values(s, &Sample::ms), 0.5); }
    static double MedianPeak(const Subject& s) { return Quantile(Values(s, &Sample::peakMiB), 0.5); }
    static double MedianCpu(const Subject& s) { return Quantile(Values(s, &Sample::cpuMs), 0.5); }

    static std::string Text(const char* format, double value)
    {
        char text[64];
        std::snprintf(text, sizeof text, format, value);
        return text;
    }

    void Report(int rounds, double loadBefore, double loadAfter) const
    {
        std::printf("%zu chunks, %.1f MB, warm in the page cache; %d rounds; load average %.2f before, %.2f after\n\n",
                    m_file.chunks, static_cast<double>(m_file.bytes) / 1e6, rounds, loadBefore, loadAfter);
        std::printf("%-34s %10s %21s %21s %10s %10s\n", "process", "median", "middle half", "all", "CPU",
                    "peak RSS");
        for (const Subject& s : m_subjects) {
            const auto times = Values(s, &Sample::ms);
            std::printf("%-34s %7.1f ms %9.1f - %6.1f ms %9.1f - %6.1f ms %7.1f ms %6.1f MiB\n", s.name.c_str(),
                        MedianMs(s), Quantile(times, 0.25), Quantile(times, 0.75), Quantile(times, 0),
                        Quantile(times, 1), MedianCpu(s), MedianPeak(s));
        }
        ReportFigures("process", "");
        if (!m_baseline.empty())
            ReportFigures("process, before (" + m_baseline + ")", "before: ");
    }

    void ReportFigures(const std::string& title, const std::string& prefix) const
    {
        const Subject* floor = Find("load floor");
        const Subject* hugeFloor = Find("load floor, huge pages");
        const Subject* copy = Find("cp + sync");
        const Subject* stat = Find(prefix + "mobtool stat");
        const Subject* save = Find(prefix + "mobtool save");
        const Subject* editor = Find(prefix + "editor to usable tree");
        PrintFigureHead(title);
        TimeRatio("mobtool stat / load floor", *stat, MedianMs(*floor), 1.3);
        TimeRatio("mobtool save / (stat + 2 x (cp + sync))", *save, MedianMs(*stat) + 2 * MedianMs(*copy), 1.0);
        if (editor)
            TimeRatio("editor to usable tree / mobtool stat", *editor, MedianMs(*stat), 1.3);
        // What a load may hold: the file's bytes, a little per chunk, and
        // the program itself.
        const double limit = (static_cast<double>(m_file.bytes) + 64.0 * static_cast<double>(m_file.chunks)) / kMiB + 16;
        PeakRatio("peak RSS, mobtool stat / limit", *stat, limit);
        PeakRatio("peak RSS, mobtool save / limit", *save, limit);
        const double extra = MedianPeak(*save) - MedianPeak(*stat);
        PrintFigureLine("peak RSS, mobtool save - stat", Text("%.1f MiB", extra), "", "", extra, 16);
        // For the record, without a target: the floor as it would be with
        // its copy in huge pages, as the document keeps its payloads, and
        // the processor time alone, which the machine's other work does
        // not lengthen.
        RecordRatio("mobtool stat / load floor in huge pages", MedianMs(*stat), MedianMs(*hugeFloor));
        RecordRatio("CPU, mobtool stat / load floor", MedianCpu(*stat), MedianCpu(*floor));
        RecordRatio("CPU, mobtool save / stat", MedianCpu(*save), MedianCpu(*stat));
        if (editor)
            std::printf("%-42s %14s %14s\n", "peak RSS, editor", Text("%.1f MiB", MedianPeak(*editor)).c_str(),
                        Text("%.1f MiB", limit).c_str());
    }

    static void RecordRatio(const char* label, double valueMs, double floorMs)
    {
        std::printf("%-42s %14s %14s %8s\n", label, Text("%.1f ms", valueMs).c_str(), Text("%.1f ms", floorMs).c_str(),
                    Text("%.2f", valueMs / floorMs).c_str());
    }

    static void TimeRatio(const std::string& label, const Subject& s, double floorMs, double target)
    {
        const double ratio = MedianMs(s) / floorMs;
        PrintFigureLine(label, Text("%.1f ms", MedianMs(s)), Text("%.1f ms", floorMs), Text("%.2f", ratio), ratio,
                        target);
    }

    static void PeakRatio(const std::string& label, const Subject& s, double limitMiB)
    {
        const double ratio = MedianPeak(s) / limitMiB;
        PrintFigureLine(label, Text("%.1f MiB", MedianPeak(s)), Text("%.1f MiB", limitMiB), Text("%.2f", ratio),
                        ratio, 1.0);
    }

    const BenchFile& m_file;
    std::string m_mobtool;
    std::string m_editor;
    std::string m_baseline;
    std::string m_errPath;
    std::vector<Subject> m_subjects;
};

} // namespace
} // namespace qm::bench

int main(int argc, char** argv)
{
    int rounds = 15;
    if (const char* text = std::getenv("QUILLMERE_BENCH_ROUNDS"))
        rounds = std::max(1, std::atoi(text));
    std::string baseline;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rounds" && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--baseline" && i + 1 < argc) {
            // The processes run in the benchmark's folder.
            char* absolute = ::realpath(argv[++i], nullptr);
            if (!absolute) {
                std::fprintf(stderr, "process_bench: no build folder %s\n", argv[i]);
                return 2;
            }
            baseline = absolute;
            std::free(absolute);
        } else {
            std::fprintf(stderr, "usage: process_bench [--rounds N] [--baseline BUILD_DIR]\n");
            return 2;
        }
    }
    try {
        qm::bench::ProcessBench bench(QUILLMERE_MOBTOOL, QUILLMERE_EDITOR, baseline);
        bench.Run(rounds);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "process_bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
