#pragma once

#include "desc/CFieldDesc.h"
#include "inspect/TypeGuess.h"

#include <QDialog>

#include <string>
#include <utility>
#include <vector>

class QTableWidget;

namespace qm {

class CCodePage;

// Tools ▸ "Guess types…": every id of the loaded files without a
// description, with its chunk count, the guessed type, the confidence and
// the reason. The user ticks the rows to accept and names them; the window
// applies them all as one step.
class CGuessTypesDlg : public QDialog {
    Q_OBJECT
public:
    enum Column { kUse, kId, kChunks, kType, kConfidence, kName, kReason, kColumnCount };

    CGuessTypesDlg(std::vector<TypeGuess> guesses, const CCodePage& codePage, QWidget* parent = nullptr);

    QTableWidget* Table() const { return m_table; }
    // The ticked rows as description entries by id key; a row whose name
    // was emptied takes the name it was offered with.
    std::vector<std::pair<std::string, CFieldDesc>> AcceptedEntries() const;

private:
    std::vector<TypeGuess> m_guesses;
    const CCodePage& m_codePage;
    QTableWidget* m_table;
};

} // namespace qm
