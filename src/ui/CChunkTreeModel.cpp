#include "ui/CChunkTreeModel.h"

#include "ui/CCodePage.h"
#include "ui/FileNameText.h"

#include <algorithm>
#include <cassert>
#include <utility>

namespace qm {

CChunkTreeModel::CChunkTreeModel(const CChunkTree& tree, QObject* parent)
    : QAbstractItemModel(parent), m_tree(tree), m_pCodePage(&CCodePage::Get(CCodePage::kDefault))
{
    TakeAllRoots();
}

void CChunkTreeModel::SetImageList(std::vector<QIcon> images)
{
    m_images = std::move(images);
    EmitDataChanged({Qt::DecorationRole});
}

void CChunkTreeModel::SetCodePage(const CCodePage& codePage)
{
    m_pCodePage = &codePage;
    EmitDataChanged({Qt::DisplayRole});
}

void CChunkTreeModel::NodesChanged()
{
    EmitDataChanged({Qt::DisplayRole, Qt::DecorationRole});
}

void CChunkTreeModel::EmitDataChanged(const QList<int>& roles)
{
    // Rows the view has never asked for need no notice.
    const auto changed = [&](const QModelIndex& parent, std::size_t count) {
        if (count != 0)
            emit dataChanged(index(0, 0, parent), index(static_cast<int>(count) - 1, 0, parent), roles);
    };
    changed(QModelIndex(), m_roots.nodes.size());
    // Finding a parent's index may cache more children, so the list of
    // parents is taken first.
    std::vector<std::pair<NodeId, std::size_t>> parents;
    parents.reserve(m_children.size());
    for (const auto& [parentNode, children] : m_children)
        parents.emplace_back(parentNode, children.nodes.size());
    for (const auto& [parentNode, count] : parents)
        changed(IndexFromNode(parentNode), count);
}

void CChunkTreeModel::TakeAllRoots()
{
    m_roots = {};
    for (NodeId node = m_tree.GetRootItem(); node != kNoNode; node = m_tree.GetNextSiblingItem(node))
        m_roots.nodes.push_back(node);
}

void CChunkTreeModel::SyncRoots()
{
    std::vector<NodeId>& roots = m_roots.nodes;
    NodeId next = roots.empty() ? m_tree.GetRootItem() : m_tree.GetNextSiblingItem(roots.back());
    while (next != kNoNode) {
        const int row = static_cast<int>(roots.size());
        beginInsertRows(QModelIndex(), row, row);
        m_roots.sorted = m_roots.sorted && (roots.empty() || roots.back() < next);
        roots.push_back(next);
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

void CChunkTreeModel::BeginInsertChildren(NodeId parent, int first, int count)
{
    assert(m_pending.count == 0 && count > 0);
    // The rows as they were must be known before the core changes them.
    [[maybe_unused]] const Rows& rows = CachedChildren(parent);
    assert(first >= 0 && static_cast<std::size_t>(first) <= rows.nodes.size());
    m_pending = {parent, first, count};
    beginInsertRows(IndexFromNode(parent), first, first + count - 1);
}

void CChunkTreeModel::EndInsertChildren()
{
    const PendingChange change = std::exchange(m_pending, {});
    Rows& rows = CachedChildren(change.parent);
    // The first new node follows the last old row before it: no walk along
    // the siblings that went before.
    const auto at = rows.nodes.begin() + change.first;
    NodeId node = change.first > 0                ? m_tree.GetNextSiblingItem(*(at - 1))
                  : change.parent == kNoNode ? m_tree.GetRootItem()
                                                  : m_tree.GetChildItem(change.parent);
    std::vector<NodeId> added;
    added.reserve(static_cast<std::size_t>(change.count));
    for (int i = 0; i < change.count && node != kNoNode; ++i, node = m_tree.GetNextSiblingItem(node))
        added.push_back(node);
    rows.nodes.insert(at, added.begin(), added.end());
    rows.sorted = StaysSorted(rows, static_cast<std::size_t>(change.first), added.size());
    endInsertRows();
}

bool CChunkTreeModel::StaysSorted(const Rows& rows, std::size_t first, std::size_t count)
{
    if (!rows.sorted || count == 0)
        return rows.sorted;
    // The new rows and the one on either side of them.
    const auto begin = rows.nodes.begin() + static_cast<std::ptrdiff_t>(first == 0 ? 0 : first - 1);
    const auto end = rows.nodes.begin() + static_cast<std::ptrdiff_t>(std::min(first + count + 1, rows.nodes.size()));
    return std::is_sorted(begin, end);
}

void CChunkTreeModel::BeginRemoveChildren(NodeId parent, int first, int count)
{
    assert(m_pending.count == 0 && count > 0);
    const Rows& rows = CachedChildren(parent);
    assert(first >= 0 && static_cast<std::size_t>(first + count) <= rows.nodes.size());
    m_pending = {parent, first, count};
    m_removing.assign(rows.nodes.begin() + first, rows.nodes.begin() + first + count);
    beginRemoveRows(IndexFromNode(parent), first, first + count - 1);
}

void CChunkTreeModel::EndRemoveChildren()
{
    const PendingChange change = std::exchange(m_pending, {});
    std::vector<NodeId>& nodes = CachedChildren(change.parent).nodes;
    nodes.erase(nodes.begin() + change.first, nodes.begin() + change.first + change.count);
    // The removed nodes' rows are known from the cache alone: the core no
    // longer links them.
    for (const NodeId node : m_removing)
        ForgetSubtree(node);
    m_removing.clear();
    endRemoveRows();
}

void CChunkTreeModel::BeforeRowsMove(const RowMove& move)
{
    m_announced = Announced::Nothing;
    const int count = static_cast<int>(move.count);
    if (move.fromShown && move.toShown) {
        if (move.fromParent == move.toParent && move.fromRow == move.toRow)
            return;
        BeginMoveChildren(move);
        m_announced = Announced::Move;
    } else if (move.fromShown) {
        BeginRemoveChildren(move.fromParent, static_cast<int>(move.fromRow), count);
        m_announced = Announced::Remove;
    } else if (move.toShown) {
        BeginInsertChildren(move.toParent, static_cast<int>(move.toRow), count);
        m_announced = Announced::Insert;
    }
}

void CChunkTreeModel::AfterRowsMove(const RowMove& move)
{
    switch (std::exchange(m_announced, Announced::Nothing)) {
    case Announced::Nothing: break;
    case Announced::Insert: EndInsertChildren(); break;
    case Announced::Remove: EndRemoveChildren(); break;
    case Announced::Move: EndMoveChildren(move); break;
    }
}

void CChunkTreeModel::BeginMoveChildren(const RowMove& move)
{
    assert(m_pending.count == 0);
    // Both lists as they were, before the core changes them.
    const Rows& from = CachedChildren(move.fromParent);
    CachedChildren(move.toParent);
    const auto first = from.nodes.begin() + static_cast<std::ptrdiff_t>(move.fromRow);
    m_removing.assign(first, first + static_cast<std::ptrdiff_t>(move.count));
    // The view counts the destination in rows as they are before the move.
    const std::size_t before =
        move.fromParent == move.toParent && move.toRow > move.fromRow ? move.toRow + move.count : move.toRow;
    const int last = static_cast<int>(move.fromRow + move.count) - 1;
    [[maybe_unused]] const bool moving =
        beginMoveRows(IndexFromNode(move.fromParent), static_cast<int>(move.fromRow), last,
                      IndexFromNode(move.toParent), static_cast<int>(before));
    assert(moving);
}

void CChunkTreeModel::EndMoveChildren(const RowMove& move)
{
    std::vector<NodeId>& from = CachedChildren(move.fromParent).nodes;
    const auto first = from.begin() + static_cast<std::ptrdiff_t>(move.fromRow);
    from.erase(first, first + static_cast<std::ptrdiff_t>(move.count));
    Rows& to = CachedChildren(move.toParent);
    to.nodes.insert(to.nodes.begin() + static_cast<std::ptrdiff_t>(move.toRow), m_removing.begin(), m_removing.end());
    to.sorted = StaysSorted(to, move.toRow, move.count);
    m_removing.clear();
    endMoveRows();
}

void CChunkTreeModel::ForgetSubtree(NodeId node)
{
    std::vector<NodeId> pending{node};
    while (!pending.empty()) {
        const auto it = m_children.find(pending.back());
        pending.pop_back();
        if (it == m_children.end())
            continue;
        pending.insert(pending.end(), it->second.nodes.begin(), it->second.nodes.end());
        m_children.erase(it);
    }
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

const CChunkTreeModel::Rows& CChunkTreeModel::Children(NodeId parent) const
{
    if (parent == kNoNode)
        return m_roots;
    if (const auto it = m_children.find(parent); it != m_children.end())
        return it->second;
    // Leaves are most nodes; they get no rows of their own.
    static const Rows kNone;
    if (!m_tree.ItemHasChildren(parent))
        return kNone;
    Rows& rows = m_children[parent];
    for (NodeId child = m_tree.GetChildItem(parent); child != kNoNode; child = m_tree.GetNextSiblingItem(child))
        rows.nodes.push_back(child);
    rows.sorted = std::is_sorted(rows.nodes.begin(), rows.nodes.end());
    return rows;
}

CChunkTreeModel::Rows& CChunkTreeModel::CachedChildren(NodeId parent)
{
    Children(parent);
    return parent == kNoNode ? m_roots : m_children[parent];
}

int CChunkTreeModel::RowOf(NodeId node) const
{
    const Rows& siblings = Children(m_tree.GetParentItem(node));
    const auto& nodes = siblings.nodes;
    const auto it = siblings.sorted ? std::lower_bound(nodes.begin(), nodes.end(), node)
                                    : std::find(nodes.begin(), nodes.end(), node);
    if (it == nodes.end() || *it != node)
        return -1;
    return static_cast<int>(it - nodes.begin());
}

QModelIndex CChunkTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (row < 0 || column != 0 || parent.column() > 0)
        return {};
    const std::vector<NodeId>& children = Children(NodeFromIndex(parent)).nodes;
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
    const std::vector<NodeId>& siblings = Children(m_tree.GetParentItem(NodeFromIndex(index))).nodes;
    if (static_cast<std::size_t>(row) >= siblings.size())
        return {};
    return createIndex(row, 0, static_cast<quintptr>(siblings[static_cast<std::size_t>(row)]));
}

int CChunkTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    return static_cast<int>(Children(NodeFromIndex(parent)).nodes.size());
}

int CChunkTreeModel::columnCount(const QModelIndex& /*parent*/) const
{
    return 1;
}

bool CChunkTreeModel::hasChildren(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return false;
    const NodeId node = NodeFromIndex(parent);
    if (node == kNoNode)
        return !m_roots.nodes.empty();
    // The view asks this of every row it draws: answer from the core rather
    // than build rows for parents nobody opened.
    if (const auto it = m_children.find(node); it != m_children.end())
        return !it->second.nodes.empty();
    return m_tree.ItemHasChildren(node);
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
    // No ItemNeverHasChildren: structure editing can give a leaf children.
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

} // namespace qm
