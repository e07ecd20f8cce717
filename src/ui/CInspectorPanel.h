#pragma once

#include <QWidget>

#include <cstddef>
#include <cstdint>
#include <span>

class QLabel;
class QTreeWidget;

namespace qm {

class CCodePage;

// The data inspector beside the hex view: what the bytes at the cursor (or
// the selected bytes) read as, the guess for an undescribed chunk's id, and
// what the whole payload would show as every data type whose layout it
// fits, each with "Use this type".
class CInspectorPanel : public QWidget {
    Q_OBJECT
public:
    explicit CInspectorPanel(QWidget* parent = nullptr);

    // The readings of payload from offset on: length bytes, or to the end
    // when length is 0.
    void ShowReadings(std::span<const std::uint8_t> payload, std::size_t offset, std::size_t length,
                      const CCodePage& codePage);
    // Every type the payload fits; currentType's button is greyed, and
    // none is offered while offerTypes is false (no chunk shown).
    void ShowPreviews(std::span<const std::uint8_t> payload, std::int32_t currentType, bool offerTypes,
                      const CCodePage& codePage);
    void ShowGuess(const QString& text);

    QTreeWidget* Readings() const { return m_readings; }
    QTreeWidget* Previews() const { return m_previews; }
    QLabel* Guess() const { return m_guess; }

signals:
    void UseTypeRequested(std::int32_t dataType);

private:
    QLabel* m_guess;
    QTreeWidget* m_readings;
    QTreeWidget* m_previews;
};

} // namespace qm
