#pragma once

#include <QDialog>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

class QComboBox;

namespace qm {

// "Insert chunk": the type id of the new chunk, picked by name from the
// described ids or typed in hexadecimal. It only gathers the choice; the
// main window makes the chunk once the box is accepted.
class CInsertChunkDlg : public QDialog {
    Q_OBJECT
public:
    // A described id as the pick-list shows it, and the id.
    using Choice = std::pair<QString, std::uint32_t>;

    // choices in the order to list them.
    explicit CInsertChunkDlg(const std::vector<Choice>& choices, QWidget* parent = nullptr);

    // The id the box holds: the one of a listed name, or the typed text
    // read as up to eight hexadecimal digits ("0x" before them allowed).
    // None for any other text.
    std::optional<std::uint32_t> GetId() const;
    QString GetText() const;

    QComboBox* IdBox() const { return m_pId; }

private:
    QComboBox* m_pId;
};

} // namespace qm
