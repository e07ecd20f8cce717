#include "ui/CIdKeyDelegate.h"

#include "desc/IdKey.h"
#include "mob/CMobDocument.h"
#include "ui/CChunkTreeModel.h"

namespace qm {

CIdKeyDelegate::CIdKeyDelegate(const CMobDocument& doc, QObject* parent) : QStyledItemDelegate(parent), m_doc(doc) {}

void CIdKeyDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (!option->text.isEmpty())
        return;
    const NodeId node = CChunkTreeModel::NodeFromIndex(index);
    // A file node's record is no chunk.
    if (node == kNoNode || m_doc.Tree().GetParentItem(node) == kNoNode)
        return;
    const CMobChunk* rec = m_doc.Chunks().Lookup(m_doc.Tree().GetItemData(node));
    if (!rec)
        return;
    option->text = QLatin1Char('[') + QString::fromLatin1(IdKey(rec->m_nId)) + QLatin1Char(']');
    option->features |= QStyleOptionViewItem::HasDisplay;
    // A selected row keeps the selection's colours.
    const QColor grey = option->palette.color(QPalette::Disabled, QPalette::Text);
    for (const auto group : {QPalette::Active, QPalette::Inactive})
        option->palette.setColor(group, QPalette::Text, grey);
}

} // namespace qm
