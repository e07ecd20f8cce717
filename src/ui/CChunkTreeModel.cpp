#include "ui/CChunkTreeModel.h"

#include "ui/CCodePage.h"
#include "ui/FileNameText.h"

#include <algorithm>

namespace qm {

CChunkTreeModel::CChunkTreeModel(const CChunkTree& tree, QObject* parent)
    : QAbstractItemModel(parent), m_tree(tree), m_pCodePage(&CCodePage::Get(CCodePage::kDefault))
{
    TakeAllRoots();
}

void CChunkTreeModel::SetImageList(std::vector<QIcon> images)
{
    m_images = std::move(images);
    if (!m_roots.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DecorationRole});
}

void CChunkTreeModel::SetCodePage(const CCodePage& codePage)
{
    m_pCodePage = &codePage;
    // Rows the view has never asked for need no notice.
    const auto changed = [this](const QModelIndex& parent, std::size_t count) {
        if (count != 0)
            emit dataChanged(index(0, 0, parent), index(static_cast<int>(count) - 1, 0, parent), {Qt::DisplayRole});
    };
    changed(QModelIndex(), m_roots.size());
    // Finding a parent's index may cache more children, so the list of
    // parents is taken first.
    std::vector<std::pair<NodeId, std::size_t>> parents;
    parents.reserve(m_children.size());
    for (const auto& [parentNode, children] : m_children)
        parents.emplace_back(parentNode, children.size());
    for (const auto& [parentNode, count] : parents)
        changed(IndexFromNode(parentNode), count);
}

void CChunkTreeModel::TakeAllRoots()
{
    m_roots.clear();
    for (NodeId node = m_tree.GetRootItem(); node != kNoNode; node = m_tree.GetNextSiblingItem(node))
        m_roots.push_back(node);
}

void CChunkTreeModel::SyncRoots()
{
    NodeId next = m_roots.empty() ? m_tree.GetRootItem() : m_tree.GetNextSiblingItem(m_roots.back());
    while (next != kNoNode) {
        const int row = static_cast<int>(m_roots.size());
        beginInsertRows(QModelIndex(), row, row);
        m_roots.push_back(next);
        endInsertRows();
        next = m_tree.GetNextSiblingItem(next);
    }
}

void CChunkTreeModel::Reset(const std::function<void()>& clear)
{
    beginResetModel();
    clear();
    m_children.clear();
    TakeAllRoots();
    endResetModel();
}

NodeId CChunkTreeModel::NodeFromIndex(const QModelIndex& index)
{
    return index.isValid() ? static_cast<NodeId>(index.internalId()) : kNoNode;
}

QModelIndex CChunkTreeModel::IndexFromNode(NodeId node) const
{
    if (!m_tree.IsValid(node))
        return {};
    const int row = RowOf(node);
    return row < 0 ? QModelIndex() : createIndex(row, 0, static_cast<quintptr>(node));
}

const std::vector<NodeId>& CChunkTreeModel::Children(NodeId parent) const
{
    if (parent == kNoNode)
        return m_roots;
    // Leaves are most nodes; they get no vector of their own.
    static const std::vector<NodeId> kNone;
    if (!m_tree.ItemHasChildren(parent))
        return kNone;
    auto [it, inserted] = m_children.try_emplace(parent);
    if (inserted) {
        for (NodeId child = m_tree.GetChildItem(parent); child != kNoNode; child = m_tree.GetNextSiblingItem(child))
            it->second.push_back(child);
    }
    return it->second;
}

int CChunkTreeModel::RowOf(NodeId node) const
{
    // Siblings are appended in order and handles are handed out in order,
    // so every children vector is sorted.
    const std::vector<NodeId>& siblings = Children(m_tree.GetParentItem(node));
    const auto it = std::lower_bound(siblings.begin(), siblings.end(), node);
    if (it == siblings.end() || *it != node)
        return -1;
    return static_cast<int>(it - siblings.begin());
}

QModelIndex CChunkTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (row < 0 || column != 0 || parent.column() > 0)
        return {};
    const std::vector<NodeId>& children = Children(NodeFromIndex(parent));
    if (static_cast<std::size_t>(row) >= children.size())
        return {};
    return createIndex(row, 0, static_cast<quintptr>(children[static_cast<std::size_t>(row)]));
}

QModelIndex CChunkTreeModel::parent(const QModelIndex& child) const
{
    const NodeId node = NodeFromIndex(child);
    if (node == kNoNode)
        return {};
    const NodeId parentNode = m_tree.GetParentItem(node);
    if (parentNode == kNoNode)
        return {};
    return createIndex(RowOf(parentNode), 0, static_cast<quintptr>(parentNode));
}

QModelIndex CChunkTreeModel::sibling(int row, int column, const QModelIndex& index) const
{
    // Rows of one parent share its children vector; no need to go up first.
    if (!index.isValid() || column != 0 || row < 0)
        return {};
    const std::vector<NodeId>& siblings = Children(m_tree.GetParentItem(NodeFromIndex(index)));
    if (static_cast<std::size_t>(row) >= siblings.size())
        return {};
    return createIndex(row, 0, static_cast<quintptr>(siblings[static_cast<std::size_t>(row)]));
}

int CChunkTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    return static_cast<int>(Children(NodeFromIndex(parent)).size());
}

int CChunkTreeModel::columnCount(const QModelIndex& /*parent*/) const
{
    return 1;
}

bool CChunkTreeModel::hasChildren(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return !m_roots.empty();
    if (parent.column() > 0)
        return false;
    return m_tree.ItemHasChildren(NodeFromIndex(parent));
}

QVariant CChunkTreeModel::data(const QModelIndex& index, int role) const
{
    const NodeId node = NodeFromIndex(index);
    if (node == kNoNode)
        return {};
    if (role == Qt::DisplayRole) {
        const std::string_view text = m_tree.GetItemText(node);
        // A top-level node is a file, labelled with its path in the file
        // system's encoding; chunks are labelled in the code page.
        if (m_tree.GetParentItem(node) == kNoNode)
            return FileNameForDisplay(FileNameFromBytes(text));
        return m_pCodePage->Decode(text);
    }
    if (role == Qt::DecorationRole) {
        const auto image = static_cast<std::size_t>(m_tree.GetItemImage(node));
        if (image < m_images.size())
            return m_images[image];
    }
    return {};
}

Qt::ItemFlags CChunkTreeModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!m_tree.ItemHasChildren(NodeFromIndex(index)))
        result |= Qt::ItemNeverHasChildren;
    return result;
}

} // namespace qm
