#include "CEditorHarness.h"

#include "tools/ChunkBuilder.h"
#include "tools/CSyntheticMob.h"
#include "ui/CChunkTreeModel.h"
#include "ui/EditorIds.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

namespace qm::test {

CEditorHarness::CEditorHarness()
    : m_strOldFolder(QDir::currentPath())
{
    WriteDescFile();
    QDir::setCurrent(m_dir.path());
}

CEditorHarness::~CEditorHarness()
{
    m_pDlg.reset();
    QDir::setCurrent(m_strOldFolder);
}

void CEditorHarness::WriteDescFile() const
{
    QFile file(Path(QStringLiteral("mob_desc.txt")));
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write the description file");
    file.write(QByteArray::fromStdString(tools::CSyntheticMob::DescriptionText()));
}

void CEditorHarness::WriteDescFile(std::string_view text) const
{
    QFile file(Path(QStringLiteral("mob_desc.txt")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write the description file");
    file.write(text.data(), static_cast<qint64>(text.size()));
}

bool CEditorHarness::Start()
{
    m_pDlg = std::make_unique<CEditorDlg>(prompts);
    return m_pDlg->OnInitDialog();
}

void CEditorHarness::Show()
{
    m_pDlg->show();
    m_pDlg->activateWindow();
    if (!QTest::qWaitForWindowActive(m_pDlg.get()))
        qFatal("the main window did not become active");
}

QString CEditorHarness::WriteFile(const QString& name, const std::vector<std::uint8_t>& bytes) const
{
    const QString path = Path(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write a test file");
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    return path;
}

QString CEditorHarness::WriteSample(const QString& name) const
{
    ChunkBuilder b;
    b.Begin(kIdGroup)
        .Chunk(kIdCount, U32Bytes({7}))
        .Begin(kIdGroup)
        .Chunk(kIdFlag, {1})
        .Chunk(0x7777, "unknown")
        .End()
        .End()
        .Chunk(kIdFlag, {0});
    return WriteFile(name, b.Bytes());
}

void CEditorHarness::Press(QWidget* control, QKeyCombination keys) const
{
    control->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(control, keys.key(), keys.keyboardModifiers());
}

void CEditorHarness::Open(const QStringList& paths)
{
    prompts.openAnswers.push_back(paths);
    static_cast<QPushButton*>(Control(ids::kLoad))->click();
}

NodeId CEditorHarness::NodeByLabel(std::string_view label)
{
    const CChunkTree& tree = m_pDlg->Document().Tree();
    for (NodeId node = 1; node <= tree.GetCount(); ++node) {
        if (tree.GetItemText(node) == label)
            return node;
    }
    return kNoNode;
}

void CEditorHarness::Select(NodeId node)
{
    const QModelIndex index = m_pDlg->TreeModel().IndexFromNode(node);
    m_pDlg->TreeCtrl()->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
}

NodeId CEditorHarness::Selected()
{
    const QModelIndexList selected = m_pDlg->TreeCtrl()->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? kNoNode : CChunkTreeModel::NodeFromIndex(selected.front());
}

QString CEditorHarness::FieldText(int id) const
{
    return static_cast<QLineEdit*>(Control(id))->text();
}

void CEditorHarness::Click(int id)
{
    static_cast<QPushButton*>(Control(id))->click();
}

std::vector<std::uint8_t> ReadBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    return {data.begin(), data.end()};
}

} // namespace qm::test
