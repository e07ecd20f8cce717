// The chunk tree model over the window's document, watched by
// QAbstractItemModelTester through the harness.

#include "CEditorHarness.h"
#include "tools/ChunkBuilder.h"
#include "tools/CSyntheticMob.h"
#include "ui/CChunkTreeModel.h"
#include "ui/CCodePage.h"

#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include <optional>

using namespace qm;
using namespace qm::test;
using namespace qm::tools;

class ChunkTreeModelTest : public QObject {
    Q_OBJECT

private:
    std::optional<CEditorHarness> h;
    int m_nFiles = 0;

    CChunkTreeModel& Model() { return h->Dlg().TreeModel(); }
    const CChunkTree& Tree() { return h->Dlg().Document().Tree(); }

    bool Load(const std::vector<std::uint8_t>& bytes)
    {
        const int before = h->Dlg().GetLoadedFiles();
        h->Dlg().LoadFiles({h->WriteFile(QStringLiteral("f%1.mob").arg(++m_nFiles), bytes)});
        return h->Dlg().GetLoadedFiles() > before;
    }

    static std::vector<std::uint8_t> Synthetic(std::uint64_t seed, std::size_t chunks)
    {
        return tools::CSyntheticMob::Generate({.seed = seed, .chunkCount = chunks, .maxDepth = 6, .maxPayload = 8});
    }

private slots:
    void init()
    {
        h.emplace();
        QVERIFY(h->Start());
    }

    void cleanup() { h.reset(); }

    void newFilesAreInsertedAndMirrorTheCoreTree()
    {
        QTreeView* view = h->Dlg().TreeCtrl();
        QVERIFY(Load(Synthetic(1, 400)));
        const QModelIndex file = Model().index(0, 0);
        const QModelIndex child = Model().index(1, 0, file);
        view->expand(file);
        view->setCurrentIndex(child);

        QSignalSpy inserted(&Model(), &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(&Model(), &QAbstractItemModel::modelReset);
        QVERIFY(Load(Synthetic(2, 150)));
        QVERIFY(!Load({}));  // a failed load adds no row
        QCOMPARE(reset.count(), 0);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted[0], (QVariantList{QVariant::fromValue(QModelIndex()), 1, 1}));
        QVERIFY(view->isExpanded(file));
        QCOMPARE(view->currentIndex(), child);

        // Every node of the core has an index with its parent, place among
        // its siblings, first child, label and icon.
        QCOMPARE(Model().rowCount(), 2);
        QCOMPARE(CChunkTreeModel::NodeFromIndex(Model().index(0, 0)), Tree().GetRootItem());
        for (NodeId node = 1; node <= Tree().GetCount(); ++node) {
            const QModelIndex index = Model().IndexFromNode(node);
            QVERIFY(index.isValid() && CChunkTreeModel::NodeFromIndex(index) == node);
            QCOMPARE(CChunkTreeModel::NodeFromIndex(index.parent()), Tree().GetParentItem(node));
            QCOMPARE(Model().index(index.row(), 0, index.parent()), index);
            const QModelIndex next = index.siblingAtRow(index.row() + 1);
            QCOMPARE(CChunkTreeModel::NodeFromIndex(next), Tree().GetNextSiblingItem(node));
            QCOMPARE(CChunkTreeModel::NodeFromIndex(Model().index(0, 0, index)), Tree().GetChildItem(node));
            QCOMPARE(Model().hasChildren(index), Tree().ItemHasChildren(node));
            QCOMPARE(index.data().toString(), h->Dlg().CodePage().Decode(Tree().GetItemText(node)));
            QVERIFY(!index.data(Qt::DecorationRole).value<QIcon>().isNull());
        }
    }

    void nothingIsBuiltUntilAsked()
    {
        QVERIFY(Load(Synthetic(3, 2000)));
        // The tester has walked everything by now; a fresh model has not.
        CChunkTreeModel fresh(Tree());
        QCOMPARE(fresh.rowCount(), 1);
        QVERIFY(fresh.hasChildren(fresh.index(0, 0)));
        QCOMPARE(fresh.GetCachedParentCount(), 0u);
        fresh.rowCount(fresh.index(0, 0));
        QCOMPARE(fresh.GetCachedParentCount(), 1u);
    }

    void wideParentAnswersByRow()
    {
        constexpr int kChildren = 100000;
        ChunkBuilder b;
        b.Begin(kIdGroup);
        for (int i = 0; i < kChildren; ++i)
            b.Chunk(kIdFlag, {static_cast<std::uint8_t>(i)});
        QVERIFY(Load(b.End().Bytes()));

        const QModelIndex group = Model().index(0, 0, Model().index(0, 0));
        QCOMPARE(Model().rowCount(group), kChildren);
        const QModelIndex last = Model().index(kChildren - 1, 0, group);
        QCOMPARE(CChunkTreeModel::NodeFromIndex(last), static_cast<NodeId>(Tree().GetCount()));
        QCOMPARE(last.parent(), group);
        QCOMPARE(Model().IndexFromNode(CChunkTreeModel::NodeFromIndex(last)).row(), kChildren - 1);
        QCOMPARE(last.data().toString(), QStringLiteral("FLAG"));
    }
};

QTEST_MAIN(ChunkTreeModelTest)
#include "ChunkTreeModelTest.moc"
