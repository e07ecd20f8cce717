// The window over a large file: from the Open command's return to a tree
// the user can work with, against the core's load of the same file;
// opening a container with 100,000 children, and deleting it.

#include "BenchFile.h"
#include "BenchSummary.h"

#include "tools/ChunkBuilder.h"
#include "ui/CChunkTreeModel.h"
#include "ui/CEditorDlg.h"
#include "ui/EditorIds.h"
#include "ui/IUserPrompts.h"

#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QTreeView>

#include <chrono>
#include <fstream>

namespace qm::bench {
namespace {

// Nobody answers: the benchmarks never ask anything.
class SilentPrompts : public IUserPrompts {
public:
    void ShowMessage(QWidget*, const QString& text, MessageIcon) override { qWarning("%s", qPrintable(text)); }
    bool AskYesNo(QWidget*, const QString&) override { return true; }
    QStringList GetOpenFileNames(QWidget*, const FileDialogRequest&) override { return {}; }
    QString GetSaveFileName(QWidget*, const FileDialogRequest&) override { return {}; }
    void RunModal(QDialog&) override {}
};

// A window started in the benchmark folder, shown, with nothing loaded.
class Window {
public:
    Window() : m_dlg(m_prompts)
    {
        QDir::setCurrent(QString::fromStdString(BenchFile::Get().folder));
        m_dlg.OnInitDialog();
        m_dlg.show();
        QApplication::processEvents();
    }
    CEditorDlg& Dlg() { return m_dlg; }
    void Unload()
    {
        m_dlg.TreeModel().Reset([this] { m_dlg.Session().UnloadAll(); });
        QApplication::processEvents();
    }

private:
    SilentPrompts m_prompts;
    CEditorDlg m_dlg;
};

double Milliseconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// What happens once the Open dialog has returned (the load, the new row in
// the view, and the events that lay the tree out and paint it) against the
// core's load of the same file. The two take turns, so memory the process
// already holds and the machine's load favour neither.
void BM_WindowOpen(benchmark::State& state)
{
    using Clock = std::chrono::steady_clock;
    Window window;
    CMobDocument doc;
    doc.SetDescFile(BenchFile::Get().descPath);
    doc.ReadDescFile();
    const QString path = QString::fromStdString(BenchFile::Get().mobPath);
    double core = 0;
    double open = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const auto coreStart = Clock::now();
        doc.LoadMobFile(BenchFile::Get().mobPath);
        core += Milliseconds(Clock::now() - coreStart);
        doc.UnloadAll();
        state.ResumeTiming();

        const auto openStart = Clock::now();
        window.Dlg().LoadFiles({path});
        QApplication::processEvents();
        open += Milliseconds(Clock::now() - openStart);

        state.PauseTiming();
        window.Unload();
        state.ResumeTiming();
    }
    const auto runs = static_cast<double>(state.iterations());
    state.counters["core_ms"] = core / runs;
    state.counters["open_ms"] = open / runs;
    state.counters["ratio"] = open / core;
}
BENCHMARK(BM_WindowOpen)->Unit(benchmark::kMillisecond)->UseRealTime();

const QString& WideFile()
{
    static const QString path = [] {
        tools::ChunkBuilder b;
        b.Begin(0x00010000);
        for (int i = 0; i < 100000; ++i)
            b.Chunk(0x00020001, {static_cast<std::uint8_t>(i)});
        b.End();
        const std::string wide = BenchFile::Get().folder + "/wide.mob";
        std::ofstream out(wide, std::ios::binary);
        out.write(reinterpret_cast<const char*>(b.Bytes().data()), static_cast<std::streamsize>(b.Bytes().size()));
        return QString::fromStdString(wide);
    }();
    return path;
}

void BM_ExpandWideContainer(benchmark::State& state)
{
    Window window;
    window.Dlg().LoadFiles({WideFile()});
    QApplication::processEvents();
    QTreeView* tree = window.Dlg().TreeCtrl();
    CChunkTreeModel& model = window.Dlg().TreeModel();
    const NodeId file = window.Dlg().Document().Tree().GetRootItem();
    tree->expand(model.IndexFromNode(file));
    QApplication::processEvents();
    const QModelIndex container = model.IndexFromNode(window.Dlg().Document().Tree().GetChildItem(file));
    for (auto _ : state) {
        tree->expand(container);
        QApplication::processEvents();
        state.PauseTiming();
        tree->collapse(container);
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ExpandWideContainer)->Unit(benchmark::kMillisecond)->UseRealTime();

// Delete in the tree's menu on an opened container of 100,000 children:
// the step, the rows the view drops and the events that bring the window
// up to date. Undone between runs, off the clock.
void BM_DeleteWideContainer(benchmark::State& state)
{
    Window window;
    CEditorDlg& dlg = window.Dlg();
    dlg.LoadFiles({WideFile()});
    QTreeView* tree = dlg.TreeCtrl();
    CChunkTreeModel& model = dlg.TreeModel();
    const NodeId file = dlg.Document().Tree().GetRootItem();
    const NodeId container = dlg.Document().Tree().GetChildItem(file);
    tree->expand(model.IndexFromNode(file));
    int resets = 0;
    QObject::connect(&model, &QAbstractItemModel::modelReset, [&resets] { ++resets; });
    for (auto _ : state) {
        state.PauseTiming();
        tree->expand(model.IndexFromNode(container));
        tree->setCurrentIndex(model.IndexFromNode(container));
        QApplication::processEvents();
        state.ResumeTiming();

        dlg.MenuItem(ids::kCmdDeleteChunk)->trigger();
        QApplication::processEvents();

        state.PauseTiming();
        dlg.Session().Undo();
        state.ResumeTiming();
    }
    state.counters["resets"] = resets;
}
BENCHMARK(BM_DeleteWideContainer)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace qm::bench

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    using qm::bench::Figure;
    return qm::bench::RunWithSummary(argc, argv, "window",
                                     {
                                         Figure::Counter("open to usable tree / core load, 1M chunks",
                                                         "BM_WindowOpen", "ratio", 1.2),
                                         Figure::Time("expand a container of 100,000", "BM_ExpandWideContainer",
                                                      100),
                                         Figure::Time("delete an opened container of 100,000",
                                                      "BM_DeleteWideContainer", 50),
                                         Figure::Counter("model resets while deleting it", "BM_DeleteWideContainer",
                                                         "resets", 0),
                                     });
}
