#include "CEditorHarness.h"

#include "tools/ChunkBuilder.h"
#include "tools/CSyntheticMob.h"
#include "ui/CDataEdit.h"
#include "ui/EditorIds.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QWindow>
#include <QTest>

namespace qm::test {

using namespace qm::tools;

CEditorHarness::CEditorHarness(std::string_view descriptions)
    : m_strOldFolder(QDir::currentPath())
{
    const std::string synthetic = tools::CSyntheticMob::DescriptionText();
    WriteDescFile(descriptions.empty() ? std::string_view(synthetic) : descriptions);
    QDir::setCurrent(m_dir.path());
}

CEditorHarness::~CEditorHarness()
{
    m_pTester.reset();
    m_pDlg.reset();
    QDir::setCurrent(m_strOldFolder);
}

bool CEditorHarness::Start()
{
    m_pDlg = std::make_unique<CEditorDlg>(prompts);
    m_pTester = std::make_unique<QAbstractItemModelTester>(&m_pDlg->TreeModel(),
                                                           QAbstractItemModelTester::FailureReportingMode::QtTest);
    if (!m_pDlg->OnInitDialog())
        return false;
    m_pDlg->show();
    m_pDlg->activateWindow();
    return QTest::qWaitForWindowActive(m_pDlg.get());
}

QString CEditorHarness::WriteFile(const QString& name, std::string_view bytes) const
{
    QFile file(Path(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write a test file");
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
    return Path(name);
}

QString CEditorHarness::WriteFile(const QString& name, const std::vector<std::uint8_t>& bytes) const
{
    return WriteFile(name, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

QString CEditorHarness::WriteSample(const QString& name, std::uint8_t flag) const
{
    ChunkBuilder b;
    b.Begin(kIdGroup).Chunk(kIdCount, U32Bytes({7})).Begin(kIdGroup).Chunk(kIdFlag, {flag}).Chunk(0x7777, "unknown");
    return WriteFile(name, b.End().End().Chunk(kIdFlag, {0}).Bytes());
}

void CEditorHarness::Press(QWidget* control, QKeyCombination keys) const
{
    control->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(control, keys.key(), keys.keyboardModifiers());
}

void CEditorHarness::Open(const QStringList& paths)
{
    prompts.open.push_back(paths);
    const qsizetype at = prompts.log.size();
    Click(ids::kLoad);
    prompts.log.removeAt(at);  // the file dialog itself
}

NodeId CEditorHarness::TypeData(NodeId node, const QString& text)
{
    Select(node);
    QPlainTextEdit* box = Dlg().DataEdit();
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
    return node;
}

void CEditorHarness::TypeDescription(NodeId node, const QString& text)
{
    Select(node);
    Dlg().DescEdit()->setFocus();
    Dlg().DescEdit()->moveCursor(QTextCursor::End);
    QTest::keyClicks(Dlg().DescEdit(), text);
    Dlg().TreeCtrl()->setFocus();
}

QString CEditorHarness::Caption() const
{
    return m_pDlg->windowHandle()->title();
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

} // namespace qm::test
