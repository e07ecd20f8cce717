// The window over a large file: from the Open command's return to a tree
// the user can work with, against the core's load of the same file;
// opening a container with 100,000 children, and deleting it; and the hex
// view and the inspector over a payload of 64 MiB.

#include "BenchFile.h"
#include "BenchSummary.h"

#include "tools/ChunkBuilder.h"
#include "ui/CChunkTreeModel.h"
#include "ui/CDataViewPane.h"
#include "ui/CEditorDlg.h"
#include "ui/CHexView.h"
#include "ui/EditorIds.h"
#include "ui/IUserPrompts.h"

#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTreeView>

#include <chrono>
#include <fstream>
#include <random>

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

// One file: a small chunk, then a chunk of 64 MiB whose id has no
// description, so the inspector also shows its guess.
const QString& LargePayloadFile()
{
    static const QString path = [] {
        std::vector<std::uint8_t> payload(64u << 20);
        std::mt19937 random(7);
        for (std::uint8_t& byte : payload)
            byte = static_cast<std::uint8_t>(random());
        tools::ChunkBuilder b;
        b.Chunk(0x00020001, {1}).Chunk(0x0BADF00D, payload);
        const std::string file = BenchFile::Get().folder + "/large-payload.mob";
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(b.Bytes().data()), static_cast<std::streamsize>(b.Bytes().size()));
        return QString::fromStdString(file);
    }();
    return path;
}

// The window in the hex view with the large payload file loaded; Select(i)
// selects the file's chunk i as a click in the tree does.
class HexWindow : public Window {
public:
    HexWindow()
    {
        Dlg().resize(1200, 800);
        Dlg().LoadFiles({LargePayloadFile()});
        const CChunkTree& tree = Dlg().Document().Tree();
        m_small = tree.GetChildItem(tree.GetRootItem());
        m_large = tree.GetNextSiblingItem(m_small);
        Select(m_small);
        static_cast<QPushButton*>(Dlg().Control(ids::kView))->click();
        QApplication::processEvents();
    }
    void Select(NodeId node)
    {
        Dlg().TreeCtrl()->selectionModel()->setCurrentIndex(Dlg().TreeModel().IndexFromNode(node),
                                                            QItemSelectionModel::ClearAndSelect);
    }
    NodeId Small() const { return m_small; }
    NodeId Large() const { return m_large; }

private:
    NodeId m_small = kNoNode;
    NodeId m_large = kNoNode;
};

// From the click on the 64 MiB chunk to its first screen painted: the hex
// rows in sight, the readings at the cursor, the list of types it fits and
// the guess for its id.
void BM_HexViewFirstScreen(benchmark::State& state)
{
    HexWindow window;
    for (auto _ : state) {
        window.Select(window.Large());
        QApplication::processEvents();
        state.PauseTiming();
        window.Select(window.Small());
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_HexViewFirstScreen)->Unit(benchmark::kMillisecond)->UseRealTime();

// A cursor move anywhere in the 64 MiB payload until the inspector's
// readings and the status bar are up to date (the repaint that follows is
// counted in the figure below).
void CursorMoves(benchmark::State& state, bool painted)
{
    HexWindow window;
    window.Select(window.Large());
    QApplication::processEvents();
    CHexView& hex = *window.Dlg().DataView()->HexView();
    std::mt19937 random(11);
    const std::size_t size = hex.Bytes().size();
    for (auto _ : state) {
        hex.MoveCursor(random() % size, false);
        if (painted)
            QApplication::processEvents();
    }
}

void BM_InspectorAfterCursorMove(benchmark::State& state)
{
    CursorMoves(state, false);
}
BENCHMARK(BM_InspectorAfterCursorMove)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The same with the hex view and the inspector painted again.
void BM_CursorMovePainted(benchmark::State& state)
{
    CursorMoves(state, true);
}
BENCHMARK(BM_CursorMovePainted)->Unit(benchmark::kMicrosecond)->UseRealTime();

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
                                         Figure::Time("hex view: first screen of a 64 MiB payload",
                                                      "BM_HexViewFirstScreen", 50),
                                         Figure::Time("inspector after a cursor move", "BM_InspectorAfterCursorMove",
                                                      1),
                                     });
}
