#pragma once

#include "CScriptedPrompts.h"
#include "ui/CEditorDlg.h"

#include <QKeyCombination>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace qm::test {

// Ids of the description file every UI test starts with.
inline constexpr std::uint32_t kIdGroup = 0x00010000;  // REC
inline constexpr std::uint32_t kIdFlag = 0x00020001;   // BYTE
inline constexpr std::uint32_t kIdCount = 0x00020003;  // DWORD

// A fresh folder holding the description file, made the working folder, and
// a main window started in it with its prompts answered by the test.
class CEditorHarness {
public:
    CEditorHarness();
    ~CEditorHarness();
    CEditorHarness(const CEditorHarness&) = delete;
    CEditorHarness& operator=(const CEditorHarness&) = delete;

    // Builds and initialises the window; false when it asked to end.
    bool Start();
    // Shows it and waits until it has the keyboard.
    void Show();

    QString Path(const QString& name) const { return m_dir.filePath(name); }
    QString WriteFile(const QString& name, const std::vector<std::uint8_t>& bytes) const;
    // A small well-formed file with nested containers.
    QString WriteSample(const QString& name) const;
    void WriteDescFile() const;
    // Replaces the description file; before Start() for the window to read it.
    void WriteDescFile(std::string_view text) const;

    // Focuses the control and types the keys there.
    void Press(QWidget* control, QKeyCombination keys) const;
    // Loads files through the Open command.
    void Open(const QStringList& paths);

    // The first node, in insertion order, with that label; kNoNode if none.
    NodeId NodeByLabel(std::string_view label);
    // Selects the node in the tree as a click would.
    void Select(NodeId node);
    NodeId Selected();
    // Text of a read-only field of the window.
    QString FieldText(int id) const;
    // Clicks a button of the window; a disabled one does nothing.
    void Click(int id);

    CEditorDlg& Dlg() { return *m_pDlg; }
    QWidget* Control(int id) const { return m_pDlg->Control(id); }

    CScriptedPrompts prompts;

private:
    QTemporaryDir m_dir;
    QString m_strOldFolder;
    std::unique_ptr<CEditorDlg> m_pDlg;
};

std::vector<std::uint8_t> ReadBytes(const QString& path);

} // namespace qm::test
