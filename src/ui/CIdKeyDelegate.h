#pragma once

#include <QStyledItemDelegate>

namespace qm {

class CMobDocument;

// Draws the tree's nodes, and where a chunk's label is empty (its id has
// no description) its id key in grey, "[0000BEEF]", so that such chunks can
// be told apart and found by eye. Drawing only: the label stays empty for
// Find and everything else that reads it.
class CIdKeyDelegate : public QStyledItemDelegate {
public:
    CIdKeyDelegate(const CMobDocument& doc, QObject* parent);

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    const CMobDocument& m_doc;
};

} // namespace qm
