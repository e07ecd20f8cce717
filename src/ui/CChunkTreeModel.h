#pragma once

#include "mob/CChunkTree.h"
#include "mob/ITreeListener.h"

#include <QAbstractItemModel>
#include <QIcon>

#include <cstddef>
#include <functional>
#include <unordered_map>
#include <vector>

namespace qm {

class CCodePage;

// The chunk tree as a Qt item model, without a copy of it: an index carries
// its NodeId as internalId. A parent's children are a linked list in the
// core, so the model keeps a vector of them, built the first time the view
// asks about that parent, for O(1) rows; a million nodes cost nothing until
// their parents are expanded.
//
// The model shows the rows it has been told about, so every change of the
// core tree must be told:
// - files appended by a load: SyncRoots() afterwards;
// - children inserted, removed or moved (structure editing, and its undo
//   and redo): the model listens to the core tree (ITreeListener) and turns
//   every run that moves into BeginInsertChildren/EndInsertChildren,
//   BeginRemoveChildren/EndRemoveChildren or a row move, which the view
//   follows row by row, keeping expansion, scrolling and selection elsewhere;
// - labels or images changed (a description's name or data type): NodesChanged();
// - everything emptied or rebuilt (Unload): only inside Reset().
class CChunkTreeModel : public QAbstractItemModel, public ITreeListener {
    Q_OBJECT
public:
    explicit CChunkTreeModel(const CChunkTree& tree, QObject* parent = nullptr);

    const CChunkTree& Tree() const { return m_tree; }

    // Indexed by the node's image number; a missing image shows nothing.
    void SetImageList(std::vector<QIcon> images);
    // How chunk labels' bytes read; every shown label is redrawn.
    void SetCodePage(const CCodePage& codePage);
    // Every shown label and image is read again from the core.
    void NodesChanged();

    // Shows the top-level nodes appended since the last call, each as a row
    // insertion, so the expansion and selection of other files stay.
    void SyncRoots();
    // Runs clear, which may empty or refill the tree, as a model reset.
    void Reset(const std::function<void()>& clear);

    // count children of parent (kNoNode: top-level nodes) are about to be
    // inserted at row first; after the core has inserted them, as the
    // parent's children from row first on, call EndInsertChildren. Calls
    // do not nest.
    void BeginInsertChildren(NodeId parent, int first, int count);
    void EndInsertChildren();
    // The children of parent at rows [first, first + count) are about to be
    // removed with their subtrees; once the core has unlinked them, call
    // EndRemoveChildren.
    void BeginRemoveChildren(NodeId parent, int first, int count);
    void EndRemoveChildren();

    // The core tree's runs of rows, as the tree reports them once the model
    // is its listener.
    void BeforeRowsMove(const RowMove& move) override;
    void AfterRowsMove(const RowMove& move) override;

    static NodeId NodeFromIndex(const QModelIndex& index);
    // The index of a node inside a shown file; invalid otherwise.
    QModelIndex IndexFromNode(NodeId node) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    QModelIndex sibling(int row, int column, const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    // The rows of one parent. Nodes appended while files load have rising
    // handles, so the rows are sorted by handle and a node's row is found by
    // binary search; a node inserted between older ones ends that, and rows
    // are then searched one by one.
    struct Rows {
        std::vector<NodeId> nodes;
        bool sorted = true;
    };
    // A change announced by a Begin call and finished by its End call.
    struct PendingChange {
        NodeId parent = kNoNode;
        int first = 0;
        int count = 0;
    };
    // What the listener announced before the core tree changed.
    enum class Announced { Nothing, Insert, Remove, Move };

    const Rows& Children(NodeId parent) const;
    // The parent's rows, built now if they were not; for changing them.
    Rows& CachedChildren(NodeId parent);
    // The node's row among its siblings, or -1 when the model does not show it.
    int RowOf(NodeId node) const;
    void TakeAllRoots();
    void ForgetSubtree(NodeId node);
    void BeginMoveChildren(const RowMove& move);
    void EndMoveChildren(const RowMove& move);
    // Whether rows newly placed at first..first + count - 1 keep the rows
    // sorted by handle.
    static bool StaysSorted(const Rows& rows, std::size_t first, std::size_t count);
    void EmitDataChanged(const QList<int>& roles);

    const CChunkTree& m_tree;
    Rows m_roots;
    mutable std::unordered_map<NodeId, Rows> m_children;
    PendingChange m_pending;
    std::vector<NodeId> m_removing;
    Announced m_announced = Announced::Nothing;
    std::vector<QIcon> m_images;
    const CCodePage* m_pCodePage;
};

} // namespace qm
