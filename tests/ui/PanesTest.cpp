// The panes: what a selected node shows, applying and undoing data edits,
// description edits, and text that must come back byte for byte.

#include "CEditorHarness.h"
#include "codec/CryptScriptData.h"
#include "codec/FormatChunkData.h"
#include "codec/ParseChunkData.h"
#include "desc/DataType.h"
#include "edit/DocumentNodes.h"
#include "tools/ChunkBuilder.h"
#include "ui/CCodePage.h"
#include "ui/EditorIds.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTest>

#include <cstdio>
#include <optional>

using namespace qm;
using namespace qm::test;
using namespace qm::tools;

namespace {

// Each data type has the id 0x3000 plus its code and the name T_ and the
// type; then a container typed "rec" and a FLOAT named "Pos.x".
constexpr std::uint32_t kIdBase = 0x3000;

QString Label(int type)
{
    return QStringLiteral("T_") + QLatin1String(kDataTypeNames[static_cast<std::size_t>(type)].data());
}

std::string DescriptionText()
{
    std::string text;
    char line[128];
    for (std::uint32_t code = 0; code < kDataTypeCount; ++code) {
        const char* type = kDataTypeNames[code].data();
        std::snprintf(line, sizeof line, "0x%08X\t%s\tT_%s\td-%s\r\n", kIdBase + code, type, type, type);
        text += line;
    }
    return text + "0x00003100\trec\tLowRec\tlower-case container\r\n0x00003101\tFLOAT\tPos.x\tfull stop\r\n";
}

std::vector<std::uint8_t> SampleFile()
{
    const auto id = [](DataType type) { return kIdBase + static_cast<std::uint32_t>(type); };
    std::vector<std::uint8_t> script = {'x', '=', '1', '\n', 'y'};
    CryptScriptData(12345, script.data(), static_cast<std::uint32_t>(script.size()));
    ChunkBuilder b;
    b.Chunk(id(DT_BYTE), {7}).Chunk(id(DT_WORD), {0x2C, 0x01}).Chunk(id(DT_STRING), "hello").Chunk(id(DT_NULL), {1, 2});
    b.Chunk(id(DT_SCRIPT), "a\r\nb\nc").RawHeader(id(DT_SCRIPT_ENC), 8 + 4 + 5).U32(12345).Raw(script);
    b.RawHeader(id(DT_STR_SAR), 8 + 4 + 10 + 9).U32(2).Chunk(id(DT_STR_SAR), "ab").Chunk(id(DT_STR_SAR), "c");
    b.Chunk(id(DT_RECT), U32Bytes({1, 2, 3, 4}));
    b.Begin(id(DT_REC)).Chunk(id(DT_BYTE), {1}).End().Begin(0x3100).Chunk(0x3101, F32Bytes({2.5f})).End();
    return b.Chunk(0x7777, "xyz").Chunk(id(DT_BYTE), {9}).Bytes();
}

std::vector<std::uint8_t> PayloadOf(const CMobChunk& rec)
{
    return {rec.m_pData.get(), rec.m_pData.get() + (rec.m_pData ? rec.m_nSize : 0)};
}

} // namespace

class PanesTest : public QObject {
    Q_OBJECT

private:
    std::optional<CEditorHarness> h;

private slots:
    void init()
    {
        h.emplace(DescriptionText());
        QVERIFY(h->Start());
        h->Open({h->WriteFile(QStringLiteral("panes.mob"), SampleFile())});
    }

    void cleanup() { h.reset(); }

    void nodeShows_data()
    {
        QTest::addColumn<QString>("label");       // empty: no description; "(file)": the file node
        QTest::addColumn<QStringList>("fields");  // description, type, TypeID, size, offset; "?": not checked
        QTest::addColumn<QString>("data");
        QTest::addColumn<bool>("writable");
        QTest::newRow("file node") << "(file)" << QStringList{"", "", "0x00000000", "0", "0x00000000"} << "" << false;
        QTest::newRow("REC") << "T_REC" << QStringList{"d-REC", "REC", "0x00003006", "9", "?"} << "" << false;
        QTest::newRow("rec") << "LowRec" << QStringList{"lower-case container", "rec", "?", "12", "?"} << "" << false;
        QTest::newRow("NULL") << "T_NULL" << QStringList{"d-NULL", "NULL", "0x00003000", "2", "?"} << "" << false;
        QTest::newRow("no description") << "" << QStringList{"", "", "0x00007777", "3", "?"} << "" << true;
        QTest::newRow("full stop") << "Pos.x" << QStringList{"", "", "0x00003101", "4", "?"} << "2.5" << false;
        QTest::newRow("BYTE") << "T_BYTE" << QStringList{"d-BYTE", "BYTE", "0x00003001", "1", "0x00000000"} << "7"
                              << true;
        QTest::newRow("WORD") << "T_WORD" << QStringList{"?", "?", "?", "2", "0x00000009"} << "300" << true;

        // Text forms are the codec's; these are the panes' own: deciphered
        // on a copy, a CR shown, one line a string.
        const std::pair<DataType, QString> texts[] = {
            {DT_SCRIPT_ENC, "x=1\ny"},
            {DT_SCRIPT, QStringLiteral("a\u240D\nb\nc")},
            {DT_STR_SAR, "ab\n~~~~~~~~~~~~~~~~~~~~\nc\n~~~~~~~~~~~~~~~~~~~~\n"},
        };
        const QStringList any(5, QStringLiteral("?"));
        for (const auto& [type, text] : texts)
            QTest::newRow(qPrintable(Label(type))) << Label(type) << any << text << true;
    }

    void nodeShows()
    {
        QFETCH(QString, label);
        QFETCH(QStringList, fields);
        QFETCH(QString, data);
        QFETCH(bool, writable);
        if (label == QLatin1String("(file)"))
            h->Select(h->Dlg().Document().Tree().GetRootItem());
        else
            QVERIFY(h->Select(label.toStdString()) != kNoNode);

        const QString shown[] = {h->Dlg().DescEdit()->toPlainText(), h->FieldText(ids::kTypeField),
                                 h->FieldText(ids::kTypeIdField), h->FieldText(ids::kSizeField),
                                 h->FieldText(ids::kOffsetField)};
        for (int i = 0; i < fields.size(); ++i) {
            if (fields[i] != QLatin1String("?"))
                QCOMPARE(shown[i], fields[i]);
        }
        QCOMPARE(h->Dlg().DataEdit()->toPlainText(), data);
        QCOMPARE(h->Dlg().DataEdit()->isReadOnly(), !writable);
        QCOMPARE(h->IsEnabled(ids::kEdit), writable);
        for (const int id : {ids::kApplyChanges, ids::kUndoChanges, ids::kDescApply})
            QVERIFY(!h->IsEnabled(id));
        QVERIFY(h->prompts.log.isEmpty());
    }

    void applyAndUndo_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("error");
        QTest::newRow("BYTE keeps the low byte") << "T_BYTE" << "300" << ids::kApplyChanges << "44" << false;
        QTest::newRow("RECT rejected") << "T_RECT" << "1,2" << ids::kApplyChanges << "1,3,4,2" << true;
        QTest::newRow("undo") << "T_RECT" << "9,9,9,9" << ids::kUndoChanges << "1,3,4,2" << false;
    }

    void applyAndUndo()
    {
        QFETCH(QString, label);
        QFETCH(QString, typed);
        QFETCH(int, button);
        QFETCH(QString, shown);
        QFETCH(bool, error);
        const NodeId node = h->TypeData(h->NodeByLabel(label.toStdString()), typed);
        const std::vector<std::uint8_t> before = PayloadOf(h->Chunk(node));
        QVERIFY(h->IsEnabled(ids::kApplyChanges) && h->IsEnabled(ids::kUndoChanges));
        h->Click(button);

        QCOMPARE(h->Dlg().DataEdit()->toPlainText(), shown);
        QVERIFY(!h->IsEnabled(ids::kApplyChanges) && !h->IsEnabled(ids::kUndoChanges));
        const bool changed = button == ids::kApplyChanges && !error;
        QCOMPARE(h->Dlg().isWindowModified(), changed);
        QCOMPARE(PayloadOf(h->Chunk(node)) == before, !changed);
        QCOMPARE(h->prompts.log, error ? QStringList{"stop: An error occured\nwhile updating data!"} : QStringList());
    }

    // Text through the panes' boxes and back keeps every byte: applying the
    // shown text unchanged stores what parsing the rendered text stores, and
    // a description handed back is the one shown.
    void panesKeepEveryByte_data()
    {
        QTest::addColumn<QString>("label");  // "desc": the description box
        QTest::addColumn<int>("codePage");
        QTest::addColumn<QByteArray>("bytes");  // the payload or the description
        QByteArray every;
        for (int b = 1; b < 256; ++b)
            every += static_cast<char>(b);
        for (const int page : CCodePage::Offered()) {
            for (const char* label : {"T_STRING", "T_SCRIPT", "desc"})
                QTest::addRow("%s, bytes 1-255, %d", label, page) << label << page << every;
        }
        QTest::newRow("SCRIPT, CR LF and lone CR") << "T_SCRIPT" << 1252 << QByteArray("one\r\ntwo\rthree\n\r\n\n");
        QTest::newRow("STRING past the typing limit")
            << "T_STRING" << 1252 << (QByteArray(98, 'x') + "\r\n").repeated(CEditorDlg::kDataEditLimit / 100 + 500);
    }

    void panesKeepEveryByte()
    {
        QFETCH(QString, label);
        QFETCH(int, codePage);
        QFETCH(QByteArray, bytes);
        h->Dlg().SetCodePage(codePage);
        const std::string text = bytes.toStdString();
        if (label == QLatin1String("desc")) {
            CMobDocument& doc = h->Dlg().Session().Document();
            QVERIFY(doc.SetDescription("0x00003005", text));
            h->Select("T_STRING");
            // Two keystrokes that cancel out hand the whole text over twice.
            QTest::keyClick(h->Dlg().DescEdit(), Qt::Key_A);
            QTest::keyClick(h->Dlg().DescEdit(), Qt::Key_Backspace);
            std::string stored;
            QVERIFY(doc.GetDescription("00003005", stored));
            QCOMPARE(stored, text);
            return;
        }
        const NodeId node = h->NodeByLabel(label.toStdString());
        CMobChunk& rec = *RecordOf(h->Dlg().Session().Document(), node);
        rec.ReplacePayload(CPayload::Copy(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
                               static_cast<std::uint32_t>(text.size()));
        CMobChunk expected(rec.m_nSize, rec.m_nId, rec.m_nDataType, CPayload::Copy(rec.m_pData.get(), rec.m_nSize),
                           rec.m_nOffset);
        QVERIFY(ParseChunkData(expected, FormatChunkData(rec.m_nDataType, rec.m_pData.get(), rec.m_nSize)));

        h->Select(node);
        h->Control(ids::kApplyChanges)->setEnabled(true);
        h->Click(ids::kApplyChanges);
        QVERIFY(h->prompts.log.isEmpty());
        QCOMPARE(PayloadOf(rec), PayloadOf(expected));
    }

    void typingStopsAtTheLimit()
    {
        const int length = CEditorDlg::kDataEditLimit - 1;
        h->Select("T_STRING");
        h->Dlg().DataEdit()->setPlainText(QString(length, QLatin1Char('x')));
        QTest::keyClicks(h->Dlg().DataEdit(), QStringLiteral("yz"));
        QCOMPARE(h->Dlg().DataEdit()->Length(), length + 1);
    }

    void descriptionEdits()
    {
        const NodeId first = h->Select("T_BYTE");
        QPlainTextEdit* box = h->Dlg().DescEdit();
        QTest::keyClicks(box, QStringLiteral("X"));

        // The table follows the box at once, for every chunk of that id.
        const CChunkTree& tree = h->Dlg().Document().Tree();
        h->Select(static_cast<NodeId>(tree.GetCount()));
        QCOMPARE(tree.GetItemText(h->Selected()), tree.GetItemText(first));
        QCOMPARE(box->toPlainText(), QStringLiteral("Xd-BYTE"));

        h->Click(ids::kDescApply);
        QFile file(h->Path(QStringLiteral("mob_desc.txt")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("0x00003001\tBYTE\tT_BYTE\tXd-BYTE\r\n"));

        QTest::keyClicks(box, QStringLiteral("Y"));
        h->Click(ids::kDescReload);
        QCOMPARE(box->toPlainText(), QStringLiteral("Xd-BYTE"));
        QVERIFY(h->prompts.log.isEmpty());

        // No entry for the file node's id: the box empties, once.
        h->Select(tree.GetRootItem());
        QTest::keyClicks(box, QStringLiteral("Z"));
        QCOMPARE(h->prompts.log, QStringList{"stop: Can't find description for id: \n0x00000000"});
        QVERIFY(box->toPlainText().isEmpty());

        // A write that fails keeps the change, and says so as a failed read would.
        h->prompts.log.clear();
        h->Select(first);
        QTest::keyClicks(box, QStringLiteral("W"));
        QVERIFY(QFile::remove(h->Path(QStringLiteral("mob_desc.txt"))));
        QVERIFY(QDir().mkdir(h->Path(QStringLiteral("mob_desc.txt"))));
        h->Click(ids::kDescApply);
        QCOMPARE(h->prompts.log.size(), 1);
        QVERIFY(h->prompts.log[0].startsWith(QStringLiteral("stop: Error while open description file: \n")));
        QVERIFY(h->IsEnabled(ids::kDescApply));
    }

    void failedReloadKeepsRunning_data()
    {
        QTest::addColumn<QByteArray>("file");  // empty: no file at all
        QTest::addColumn<QString>("description");
        QTest::newRow("missing file") << QByteArray() << "Xd-BYTE";
        QTest::newRow("malformed line") << QByteArray("0x00003001\tBYTE\tT_BYTE\tre-read\r\nbad\r\n") << "re-read";
    }

    void failedReloadKeepsRunning()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, description);
        h->TypeData(h->NodeByLabel("T_BYTE"), QStringLiteral("8"));
        h->Click(ids::kApplyChanges);
        QTest::keyClicks(h->Dlg().DescEdit(), QStringLiteral("X"));
        QFile::remove(h->Path(QStringLiteral("mob_desc.txt")));
        if (!file.isEmpty())
            h->WriteDescFile(file.toStdString());

        h->Click(ids::kDescReload);
        QApplication::processEvents();
        QVERIFY(h->prompts.log.size() == 1 && h->prompts.log[0].startsWith(QStringLiteral("stop: ")));
        QVERIFY(!h->Dlg().ExitRequested() && h->Dlg().isVisible() && h->Dlg().isWindowModified());
        QCOMPARE(h->Dlg().DataEdit()->toPlainText(), QStringLiteral("8"));
        QCOMPARE(h->Dlg().DescEdit()->toPlainText(), description);
        QVERIFY(h->IsEnabled(ids::kDescApply));
    }
};

QTEST_MAIN(PanesTest)
#include "PanesTest.moc"
