// The chunk tree model over a real document, always watched by
// QAbstractItemModelTester.

#include "mob/CMobDocument.h"
#include "tools/ChunkBuilder.h"
#include "tools/CSyntheticMob.h"
#include "ui/CArtwork.h"
#include "ui/CChunkTreeModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <fstream>
#include <memory>

using namespace qm;
using namespace qm::test;

namespace {

constexpr std::uint32_t kIdGroup = 0x00010000;  // REC in the synthetic descriptions
constexpr std::uint32_t kIdFlag = 0x00020001;   // BYTE

class Fixture {
public:
    Fixture()
        : model(doc.Tree()), tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest)
    {
        const std::string descPath = dir.filePath(QStringLiteral("mob_desc.txt")).toStdString();
        std::ofstream(descPath) << tools::CSyntheticMob::DescriptionText();
        doc.SetDescFile(descPath);
        if (!doc.ReadDescFile())
            qFatal("description file not read");
        model.SetImageList(CArtwork::NodeImageList());
    }

    bool Load(const std::vector<std::uint8_t>& bytes)
    {
        const std::string path = dir.filePath(QStringLiteral("f%1.mob").arg(++m_nFiles)).toStdString();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        const bool loaded = doc.LoadMobFile(path);
        model.SyncRoots();
        return loaded;
    }

    QTemporaryDir dir;
    CMobDocument doc;
    CChunkTreeModel model;
    QAbstractItemModelTester tester;

private:
    int m_nFiles = 0;
};

std::vector<std::uint8_t> Synthetic(std::uint64_t seed, std::size_t chunks)
{
    tools::SyntheticOptions options;
    options.seed = seed;
    options.chunkCount = chunks;
    options.maxPayload = 8;
    return tools::CSyntheticMob::Generate(options);
}

// Walks model and core side by side; returns the number of nodes compared.
std::size_t CompareSubtree(const Fixture& f, const QModelIndex& parent, NodeId firstChild)
{
    const CChunkTree& tree = f.doc.Tree();
    std::size_t compared = 0;
    int row = 0;
    for (NodeId node = firstChild; node != kNoNode; node = tree.GetNextSiblingItem(node), ++row) {
        const QModelIndex index = f.model.index(row, 0, parent);
        if (CChunkTreeModel::NodeFromIndex(index) != node || index.parent() != parent ||
            f.model.IndexFromNode(node) != index)
            return 0;
        const std::string_view label = tree.GetItemText(node);
        if (index.data().toString() != QString::fromLocal8Bit(label.data(), static_cast<qsizetype>(label.size())))
            return 0;
        if (index.data(Qt::DecorationRole).value<QIcon>().isNull())
            return 0;
        if (f.model.hasChildren(index) != tree.ItemHasChildren(node))
            return 0;
        const std::size_t below = CompareSubtree(f, index, tree.GetChildItem(node));
        if (tree.ItemHasChildren(node) && below == 0)
            return 0;
        compared += 1 + below;
    }
    return row == f.model.rowCount(parent) ? compared : 0;
}

} // namespace

class ChunkTreeModelTest : public QObject {
    Q_OBJECT

private slots:
    void mirrorsTheCoreTree()
    {
        Fixture f;
        QVERIFY(f.Load(Synthetic(1, 400)));
        QVERIFY(f.Load(Synthetic(2, 150)));
        QCOMPARE(f.model.rowCount(), 2);
        QCOMPARE(CompareSubtree(f, QModelIndex(), f.doc.Tree().GetRootItem()), f.doc.Tree().GetCount());
        QCOMPARE(f.model.columnCount(), 1);
        QCOMPARE(f.model.rowCount(f.model.index(0, 0).siblingAtColumn(0)), f.model.rowCount(f.model.index(0, 0)));
    }

    void nothingIsBuiltUntilAsked()
    {
        Fixture f;
        QVERIFY(f.Load(Synthetic(3, 20000)));
        // The tester has walked everything by now; a fresh model has not.
        CChunkTreeModel fresh(f.doc.Tree());
        QCOMPARE(fresh.GetCachedParentCount(), 0u);
        QCOMPARE(fresh.rowCount(), 1);
        QVERIFY(fresh.hasChildren(fresh.index(0, 0)));
        QCOMPARE(fresh.GetCachedParentCount(), 0u);
        fresh.rowCount(fresh.index(0, 0));
        QCOMPARE(fresh.GetCachedParentCount(), 1u);
    }

    void newFilesAreInsertedKeepingViewState()
    {
        Fixture f;
        QTreeView view;
        view.setModel(&f.model);
        QVERIFY(f.Load(Synthetic(4, 200)));
        const QModelIndex file = f.model.index(0, 0);
        const QModelIndex child = f.model.index(1, 0, file);
        view.expand(file);
        view.setCurrentIndex(child);

        QSignalSpy inserted(&f.model, &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(&f.model, &QAbstractItemModel::modelReset);
        QVERIFY(f.Load(Synthetic(5, 50)));
        QVERIFY(!f.Load({}));  // a failed load adds no row

        QCOMPARE(reset.count(), 0);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted[0][0].value<QModelIndex>(), QModelIndex());
        QCOMPARE(inserted[0][1].toInt(), 1);
        QCOMPARE(inserted[0][2].toInt(), 1);
        QVERIFY(view.isExpanded(file));
        QCOMPARE(view.currentIndex(), child);
    }

    void resetEmptiesAndKeysStartAgain()
    {
        Fixture f;
        QVERIFY(f.Load(Synthetic(6, 100)));
        QSignalSpy reset(&f.model, &QAbstractItemModel::modelReset);
        f.model.Reset([&] { f.doc.UnloadAll(); });
        QCOMPARE(reset.count(), 1);
        QCOMPARE(f.model.rowCount(), 0);
        QVERIFY(!f.model.hasChildren());

        QVERIFY(f.Load(Synthetic(7, 10)));
        QCOMPARE(CChunkTreeModel::NodeFromIndex(f.model.index(0, 0)), NodeId{1});
    }

    void wideParentAnswersByRow()
    {
        constexpr int kChildren = 100000;
        ChunkBuilder b;
        b.Begin(kIdGroup);
        for (int i = 0; i < kChildren; ++i)
            b.Chunk(kIdFlag, {static_cast<std::uint8_t>(i)});
        b.End();
        Fixture f;
        QVERIFY(f.Load(b.Bytes()));

        const QModelIndex group = f.model.index(0, 0, f.model.index(0, 0));
        QCOMPARE(f.model.rowCount(group), kChildren);
        const QModelIndex last = f.model.index(kChildren - 1, 0, group);
        QCOMPARE(CChunkTreeModel::NodeFromIndex(last), static_cast<NodeId>(f.doc.Tree().GetCount()));
        QCOMPARE(last.parent(), group);
        QCOMPARE(f.model.IndexFromNode(CChunkTreeModel::NodeFromIndex(last)).row(), kChildren - 1);
        QCOMPARE(last.data().toString(), QStringLiteral("FLAG"));
        QVERIFY(!(f.model.flags(last) & Qt::ItemIsEditable));
    }
};

QTEST_MAIN(ChunkTreeModelTest)
#include "ChunkTreeModelTest.moc"
