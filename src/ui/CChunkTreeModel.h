#pragma once

#include "mob/CChunkTree.h"

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
// The model shows the top-level nodes it has been told about: after the core
// appends files call SyncRoots(); empty the tree only inside Reset().
class CChunkTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit CChunkTreeModel(const CChunkTree& tree, QObject* parent = nullptr);

    // Indexed by the node's image number; a missing image shows nothing.
    void SetImageList(std::vector<QIcon> images);
    // How chunk labels' bytes read; every shown label is redrawn.
    void SetCodePage(const CCodePage& codePage);

    // Shows the top-level nodes appended since the last call, each as a row
    // insertion, so the expansion and selection of other files stay.
    void SyncRoots();
    // Runs clear, which may empty or refill the tree, as a model reset.
    void Reset(const std::function<void()>& clear);

    static NodeId NodeFromIndex(const QModelIndex& index);
    // The index of a node inside a shown file; invalid otherwise.
    QModelIndex IndexFromNode(NodeId node) const;

    // Parents whose children vector has been built.
    std::size_t GetCachedParentCount() const { return m_children.size(); }

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    QModelIndex sibling(int row, int column, const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    const std::vector<NodeId>& Children(NodeId parent) const;
    // The node's row among its siblings, or -1 when the model does not show it.
    int RowOf(NodeId node) const;
    void TakeAllRoots();

    const CChunkTree& m_tree;
    std::vector<NodeId> m_roots;
    mutable std::unordered_map<NodeId, std::vector<NodeId>> m_children;
    std::vector<QIcon> m_images;
    const CCodePage* m_pCodePage;
};

} // namespace qm
