#pragma once

#include "ui/CChunkTreeModel.h"
#include "ui/CEditorDlg.h"
#include "ui/EditorIds.h"
#include "ui/IUserPrompts.h"

#include <QAbstractItemModelTester>
#include <QDialog>
#include <QKeyCombination>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace qm::test {

// The seam answered by the test: every question is logged as "kind: text",
// and answers come from queues filled beforehand. An empty queue answers
// like a person who cancels, or says No.
class CScriptedPrompts : public IUserPrompts {
public:
    void ShowMessage(QWidget*, const QString& text, MessageIcon icon) override
    {
        const char* kinds[] = {"message: ", "info: ", "stop: "};
        log << QLatin1String(kinds[static_cast<int>(icon)]) + text;
    }
    bool AskYesNo(QWidget*, const QString& text) override { return Answer(QStringLiteral("ask: ") + text, yesNo); }
    QStringList GetOpenFileNames(QWidget*, const FileDialogRequest& request) override
    {
        return Answer(QStringLiteral("open: ") + request.title, open);
    }
    QString GetSaveFileName(QWidget*, const FileDialogRequest& request) override
    {
        return Answer(QStringLiteral("save: ") + request.initialPath, save);
    }
    void RunModal(QDialog& dialog) override
    {
        log << QStringLiteral("modal: ") + dialog.windowTitle();
        if (modal)
            modal(dialog);
    }

    QStringList log;
    std::deque<QStringList> open;
    std::deque<QString> save;
    std::deque<bool> yesNo;
    // Works the box as a person would; unset, the box is closed unseen.
    std::function<void(QDialog&)> modal;

private:
    template <class T>
    T Answer(const QString& entry, std::deque<T>& answers)
    {
        log << entry;
        if (answers.empty())
            return T();
        T answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// Ids of the synthetic description file.
inline constexpr std::uint32_t kIdGroup = 0x00010000;  // REC
inline constexpr std::uint32_t kIdFlag = 0x00020001;   // BYTE
inline constexpr std::uint32_t kIdCount = 0x00020003;  // DWORD

// A fresh working folder holding a description file, and the main window
// started in it, its prompts answered by the test and its tree model
// watched by QAbstractItemModelTester.
class CEditorHarness {
public:
    // Empty descriptions stand for the synthetic description file.
    explicit CEditorHarness(std::string_view descriptions = {});
    ~CEditorHarness();
    CEditorHarness(const CEditorHarness&) = delete;
    CEditorHarness& operator=(const CEditorHarness&) = delete;

    // Builds and initialises the window, then shows it and waits until it
    // has the keyboard; false when it asked to end or never became active.
    bool Start();

    QString Path(const QString& name) const { return m_dir.filePath(name); }
    QString WriteFile(const QString& name, std::string_view bytes) const;
    QString WriteFile(const QString& name, const std::vector<std::uint8_t>& bytes) const;
    // A small well-formed file with nested containers:
    // GROUP (COUNT 7, GROUP (FLAG flag, an undescribed chunk)), FLAG 0.
    QString WriteSample(const QString& name, std::uint8_t flag = 1) const;
    void WriteDescFile(std::string_view text) const { WriteFile(QStringLiteral("mob_desc.txt"), text); }

    // Focuses the control and types the keys there.
    void Press(QWidget* control, QKeyCombination keys) const;
    // Loads files through the Load button; the file dialog is not logged.
    void Open(const QStringList& paths);

    // The first node, in insertion order, with that label; kNoNode if none.
    NodeId NodeByLabel(std::string_view label);
    const CMobChunk& Chunk(NodeId node)
    {
        return *Dlg().Document().Chunks().Lookup(Dlg().Document().Tree().GetItemData(node));
    }
    // Selects the node in the tree as a click would; returns it.
    NodeId Select(NodeId node)
    {
        Dlg().TreeCtrl()->selectionModel()->setCurrentIndex(Dlg().TreeModel().IndexFromNode(node),
                                                            QItemSelectionModel::ClearAndSelect);
        return node;
    }
    NodeId Select(std::string_view label) { return Select(NodeByLabel(label)); }
    NodeId Selected()
    {
        return CChunkTreeModel::NodeFromIndex(Dlg().TreeCtrl()->selectionModel()->selectedIndexes().value(0));
    }
    QString FieldText(int id) const { return static_cast<QLineEdit*>(Control(id))->text(); }
    bool IsEnabled(int id) const { return Control(id)->isEnabled(); }
    // Clicks a button of the window; a disabled one does nothing.
    void Click(int id) { static_cast<QPushButton*>(Control(id))->click(); }
    // Selects the node and types text over the data editor's; applies it.
    NodeId TypeData(NodeId node, const QString& text);
    void ApplyData(NodeId node, const QString& text)
    {
        TypeData(node, text);
        Click(ids::kApplyChanges);
    }
    // Types into the description box, then leaves it for the tree.
    void TypeDescription(NodeId node, const QString& text);
    // The caption as the desktop shows it.
    QString Caption() const;

    CEditorDlg& Dlg() { return *m_pDlg; }
    QWidget* Control(int id) const { return m_pDlg->Control(id); }

    CScriptedPrompts prompts;

private:
    QTemporaryDir m_dir;
    QString m_strOldFolder;
    std::unique_ptr<CEditorDlg> m_pDlg;
    std::unique_ptr<QAbstractItemModelTester> m_pTester;
};

} // namespace qm::test
