#pragma once

#include "inspect/CPayloadBytes.h"

#include <QSplitter>

#include <cstdint>
#include <optional>

namespace qm {

class CCodePage;
class CHexView;
class CInspectorPanel;

// What the data group shows in place of the text editor after "&View": the
// hex view of the selected chunk's payload with the data inspector beside
// it (below it when the pane is too narrow for both).
class CDataViewPane : public QSplitter {
    Q_OBJECT
public:
    explicit CDataViewPane(QWidget* parent = nullptr);

    // The payload of a chunk of dataType, with the guess for its id (empty
    // for a described id). The bytes are kept until the next call.
    void ShowChunk(CPayloadBytes bytes, std::int32_t dataType, const QString& guess);
    // No chunk: an empty view, nothing to read.
    void ShowNothing();
    void SetCodePage(const CCodePage& codePage);

    CHexView* HexView() const { return m_hex; }
    CInspectorPanel* Inspector() const { return m_inspector; }
    // "Offset 0x00000010" at a cursor, "Start 0x00000010, length 4" for a
    // selection; empty with no chunk. For the status bar.
    QString SelectionText() const;

signals:
    void SelectionShown(const QString& text);
    void UseTypeRequested(std::int32_t dataType);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnCursorMoved();

    CHexView* m_hex;
    CInspectorPanel* m_inspector;
    const CCodePage* m_pCodePage;
    std::optional<CPayloadBytes> m_bytes;
    bool m_bChunk = false;
};

} // namespace qm
