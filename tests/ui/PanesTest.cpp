// The panes: what a selected node shows, applying and undoing data edits,
// description edits, and text that must come back byte for byte.

#include "CEditorHarness.h"
#include "codec/CryptScriptData.h"
#include "codec/FormatChunkData.h"
#include "codec/ParseChunkData.h"
#include "desc/DataType.h"
#include "tools/ChunkBuilder.h"
#include "ui/CChunkTreeModel.h"
#include "ui/CCodePage.h"
#include "ui/EditorIds.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QLoggingCategory>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeView>

#include <cstdio>
#include <cstring>

using namespace qm;
using namespace qm::test;
using Kind = CScriptedPrompts::Kind;

namespace {

// One id for each data type, 0x3000 plus the code, named T_ and the type;
// then a container typed "rec", a FLOAT named "Pos.x" and an id without
// a description.
constexpr std::uint32_t kIdBase = 0x3000;
constexpr std::uint32_t kScriptKey = 12345;

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

std::uint32_t Id(DataType type)
{
    return kIdBase + static_cast<std::uint32_t>(type);
}

std::vector<std::uint8_t> SampleFile()
{
    std::vector<std::uint8_t> script = {'x', '=', '1', '\n', 'y'};
    CryptScriptData(kScriptKey, script.data(), static_cast<std::uint32_t>(script.size()));
    ChunkBuilder b;
    b.Chunk(Id(DT_BYTE), {7})
        .Chunk(Id(DT_WORD), {0x2C, 0x01})
        .Chunk(Id(DT_DWORD), U32Bytes({0xFFFFFFFB}))
        .Chunk(Id(DT_FLOAT), F32Bytes({1.5f}))
        .Chunk(Id(DT_STRING), "hello")
        .Chunk(Id(DT_NULL), {1, 2})
        .Chunk(Id(DT_SCRIPT), "a\r\nb\nc")
        .RawHeader(Id(DT_SCRIPT_ENC), 8 + 4 + 5).U32(kScriptKey).Raw(script)
        .RawHeader(Id(DT_STR_SAR), 8 + 4 + 10 + 9).U32(2).Chunk(Id(DT_STR_SAR), "ab").Chunk(Id(DT_STR_SAR), "c")
        .Chunk(Id(DT_RECT), U32Bytes({1, 2, 3, 4}))
        .RawHeader(Id(DT_STR_S01), 8 + 4 + 24).U32(2).Raw(F32Bytes({1, 2, 3, 4, 5.5f, 6}))
        .RawHeader(Id(DT_STR_S02), 8 + 4 + 8).U32(1).Raw(F32Bytes({1, 2}))
        .Chunk(Id(DT_PLOT), F32Bytes({1.5f, -2, 0}))
        .Chunk(Id(DT_QUATERNION), F32Bytes({0, 0, 0, 1}))
        .Chunk(Id(DT_BINARY), U32Bytes({7, 8, 9}))
        .Chunk(Id(DT_STR_S06), std::vector<std::uint8_t>(170, 0))
        .Chunk(Id(DT_DIPLOMACY), std::vector<std::uint8_t>(4096, 0))
        .Chunk(Id(DT_STR_S08), U32Bytes({5, 6}))
        .Chunk(Id(DT_STR_S09), {1, 2, 3})
        .Chunk(Id(DT_STR_S10), {1, 2, 3})
        .Chunk(Id(DT_STR_S11), {1, 2, 3})
        .Begin(Id(DT_REC)).Chunk(Id(DT_BYTE), {1}).End()
        .Begin(0x3100).Chunk(0x3101, F32Bytes({2.5f})).End()
        .Chunk(0x7777, "xyz")
        .Chunk(Id(DT_BYTE), {9});
    return b.Bytes();
}

std::vector<std::uint8_t> PayloadOf(const CMobChunk& rec)
{
    return rec.m_pData ? std::vector<std::uint8_t>(rec.m_pData.get(), rec.m_pData.get() + rec.m_nSize)
                       : std::vector<std::uint8_t>();
}

} // namespace

class PanesTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CEditorHarness> h;
    std::unique_ptr<QAbstractItemModelTester> tester;

    void StartWithSample()
    {
        h = std::make_unique<CEditorHarness>();
        h->WriteDescFile(DescriptionText());
        QVERIFY(h->Start());
        tester = std::make_unique<QAbstractItemModelTester>(&h->Dlg().TreeModel(),
                                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
        h->Show();
        h->Open({h->WriteFile(QStringLiteral("panes.mob"), SampleFile())});
        h->prompts.Clear();
    }

    bool IsEnabled(int id) const { return h->Control(id)->isEnabled(); }

    CMobChunk& Record(NodeId node)
    {
        CMobDocument& doc = h->Dlg().Document();
        return *doc.Chunks().Lookup(doc.Tree().GetItemData(node));
    }

    NodeId SelectLabel(const char* label)
    {
        const NodeId node = h->NodeByLabel(label);
        h->Select(node);
        return node;
    }

    // Replaces the box's text as typing would.
    static void Retype(QPlainTextEdit* box, const QString& text)
    {
        box->setFocus();
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClicks(box, text);
    }

    void ApplyData(const QString& text)
    {
        Retype(h->Dlg().DataEdit(), text);
        h->Click(ids::kApplyChanges);
    }

private slots:
    void init() { StartWithSample(); }

    void cleanup()
    {
        tester.reset();
        h.reset();
        QLoggingCategory::setFilterRules(QString());
    }

    void nodeShows_data()
    {
        QTest::addColumn<QString>("label");  // "(file)": the file node; "(none)": nothing selected
        QTest::addColumn<QStringList>("fields");  // description, type, TypeID, size, offset; "?": not checked
        QTest::addColumn<QString>("data");
        QTest::addColumn<bool>("writable");

        QTest::newRow("file node") << "(file)" << QStringList{"", "", "0x00000000", "0", "0x00000000"} << "" << false;
        QTest::newRow("nothing selected") << "(none)" << QStringList{"", "", "", "", ""} << "" << false;
        QTest::newRow("REC") << "T_REC" << QStringList{"d-REC", "REC", "0x00003006", "9", "?"} << "" << false;
        QTest::newRow("rec") << "LowRec" << QStringList{"lower-case container", "rec", "0x00003100", "12", "?"} << ""
                             << false;
        QTest::newRow("NULL") << "T_NULL" << QStringList{"d-NULL", "NULL", "0x00003000", "2", "?"} << "" << false;
        QTest::newRow("no description") << "" << QStringList{"", "", "0x00007777", "3", "?"} << "" << true;
        QTest::newRow("full stop") << "Pos.x" << QStringList{"", "", "0x00003101", "4", "?"} << "2.5" << false;
        QTest::newRow("BYTE") << "T_BYTE" << QStringList{"d-BYTE", "BYTE", "0x00003001", "1", "0x00000000"} << "7"
                              << true;
        QTest::newRow("WORD") << "T_WORD" << QStringList{"?", "?", "?", "2", "0x00000009"} << "300" << true;

        const QString zeros32 = QStringList(32, QStringLiteral("0")).join(QLatin1Char(',')) + QLatin1Char('\n');
        const std::pair<const char*, QString> texts[] = {
            {"DWORD", "-5"},
            {"FLOAT", "1.5"},
            {"STRING", "hello"},
            {"SCRIPT", QStringLiteral("a\u240D\nb\nc")},  // the CR of a CR LF in the script shows
            {"SCRIPT_ENC", "x=1\ny"},
            {"STR_SAR", "ab\n~~~~~~~~~~~~~~~~~~~~\nc\n~~~~~~~~~~~~~~~~~~~~\n"},
            {"RECT", "1,3,4,2"},
            {"STR_S01", "1,2,3\n4,5.5,6\n"},
            {"STR_S02", "1,2\n"},
            {"PLOT", "1.5,-2,0"},
            {"QUATERNION", "0,0,0,1"},
            {"BINARY", "7,8,9"},
            {"STR_S06", QStringList(48, QStringLiteral("0")).join(QLatin1Char('\n'))},
            {"DIPLOMACY", zeros32.repeated(32)},
            {"STR_S08", "5,6"},
            {"STR_S09", ""},
        };
        for (const auto& [type, text] : texts)
            QTest::newRow(type) << QStringLiteral("T_%1").arg(QLatin1String(type)) << QStringList{"?", "?", "?", "?", "?"}
                                << text << true;
    }

    void nodeShows()
    {
        QFETCH(QString, label);
        QFETCH(QStringList, fields);
        QFETCH(QString, data);
        QFETCH(bool, writable);
        if (label == QLatin1String("(file)")) {
            h->Select(h->Dlg().Document().Tree().GetRootItem());
        } else if (label == QLatin1String("(none)")) {
            SelectLabel("T_STRING");
            h->Dlg().TreeCtrl()->selectionModel()->clearSelection();
        } else {
            QVERIFY(SelectLabel(qPrintable(label)) != kNoNode);
        }

        const QString shown[] = {h->Dlg().DescEdit()->toPlainText(), h->FieldText(ids::kTypeField),
                                 h->FieldText(ids::kTypeIdField), h->FieldText(ids::kSizeField),
                                 h->FieldText(ids::kOffsetField)};
        for (int i = 0; i < fields.size(); ++i) {
            if (fields[i] != QLatin1String("?"))
                QCOMPARE(shown[i], fields[i]);
        }
        QCOMPARE(h->Dlg().DataEdit()->toPlainText(), data);
        QCOMPARE(h->Dlg().DataEdit()->isReadOnly(), !writable);
        QCOMPARE(IsEnabled(ids::kEdit), writable);
        for (const int id : {ids::kApplyChanges, ids::kUndoChanges, ids::kDescApply})
            QVERIFY(!IsEnabled(id));
        QVERIFY(h->prompts.asked.empty());
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
        QTest::newRow("STRING") << "T_STRING" << "new text" << ids::kApplyChanges << "new text" << false;
        QTest::newRow("undo") << "T_RECT" << "9,9,9,9" << ids::kUndoChanges << "1,3,4,2" << false;
    }

    void applyAndUndo()
    {
        QFETCH(QString, label);
        QFETCH(QString, typed);
        QFETCH(int, button);
        QFETCH(QString, shown);
        QFETCH(bool, error);
        const NodeId node = SelectLabel(qPrintable(label));
        const std::vector<std::uint8_t> before = PayloadOf(Record(node));
        Retype(h->Dlg().DataEdit(), typed);
        QVERIFY(IsEnabled(ids::kApplyChanges) && IsEnabled(ids::kUndoChanges));
        h->Click(button);

        QCOMPARE(h->Dlg().DataEdit()->toPlainText(), shown);
        QVERIFY(!IsEnabled(ids::kApplyChanges) && !IsEnabled(ids::kUndoChanges));
        const bool changed = button == ids::kApplyChanges && !error;
        QCOMPARE(h->Dlg().Document().IsModified(), changed);
        QCOMPARE(PayloadOf(Record(node)) == before, !changed);
        const std::vector<QString> expected = {QStringLiteral("An error occured\nwhile updating data!")};
        QCOMPARE(h->prompts.Messages(), error ? expected : std::vector<QString>());
        if (error)
            QCOMPARE(h->prompts.asked[0].icon, MessageIcon::Stop);
    }

    // Applying the shown text unchanged stores exactly what parsing the
    // rendered text stores; a description handed back keeps every byte.
    void panesKeepEveryByte_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("codePage");
        QTest::addColumn<QByteArray>("bytes");  // the payload, or for "desc" the description; empty: as loaded

        for (int code = 0; code < kDataTypeCount; ++code) {
            if (code != DT_REC && code != DT_NULL)
                QTest::newRow(kDataTypeNames[static_cast<std::size_t>(code)].data())
                    << QStringLiteral("T_%1").arg(QLatin1String(kDataTypeNames[static_cast<std::size_t>(code)].data()))
                    << 1252 << QByteArray();
        }
        QByteArray every;
        for (int b = 1; b < 256; ++b)
            every += static_cast<char>(b);
        for (const int page : CCodePage::Offered()) {
            for (const char* label : {"T_STRING", "T_SCRIPT", "desc"})
                QTest::addRow("%s, bytes 1-255, %d", label, page) << label << page << every;
        }
        QTest::newRow("SCRIPT, CR LF and lone CR") << "T_SCRIPT" << 1252 << QByteArray("one\r\ntwo\rthree\n\r\n\n");
        QByteArray longText;
        while (longText.size() <= CEditorDlg::kDataEditLimit + 50000)
            longText += QByteArray(98, 'x') + "\r\n";
        QTest::newRow("STRING past the typing limit") << "T_STRING" << 1252 << longText;
    }

    void panesKeepEveryByte()
    {
        QFETCH(QString, label);
        QFETCH(int, codePage);
        QFETCH(QByteArray, bytes);
        h->Dlg().CodePageItem(codePage)->trigger();
        const std::string text = bytes.toStdString();
        if (label == QLatin1String("desc")) {
            CMobDocument& doc = h->Dlg().Document();
            QVERIFY(doc.SetDescription("0x00003005", text));
            SelectLabel("T_STRING");
            // Two keystrokes that cancel out hand the whole text over twice.
            QPlainTextEdit* box = h->Dlg().DescEdit();
            box->moveCursor(QTextCursor::End);
            QTest::keyClick(box, Qt::Key_A);
            QTest::keyClick(box, Qt::Key_Backspace);
            std::string stored;
            QVERIFY(doc.GetDescription("00003005", stored));
            QCOMPARE(stored, text);
            return;
        }
        const NodeId node = h->NodeByLabel(qPrintable(label));
        CMobChunk& rec = Record(node);
        if (!bytes.isEmpty())
            rec.ReplacePayload(CPayload::Copy(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
                               static_cast<std::uint32_t>(text.size()));
        CMobChunk expected(rec.m_nSize, rec.m_nId, rec.m_nDataType, CPayload::Copy(rec.m_pData.get(), rec.m_nSize),
                           rec.m_nOffset);
        QVERIFY(ParseChunkData(expected, FormatChunkData(rec.m_nDataType, rec.m_pData.get(), rec.m_nSize)));

        h->Select(node);
        h->Control(ids::kApplyChanges)->setEnabled(true);
        h->Click(ids::kApplyChanges);
        QVERIFY(h->prompts.asked.empty());
        QCOMPARE(PayloadOf(rec), PayloadOf(expected));
    }

    void typingStopsAtTheLimit()
    {
        constexpr std::uint32_t kLength = CEditorDlg::kDataEditLimit + 10;
        const NodeId node = h->NodeByLabel("T_STRING");
        Record(node).ReplacePayload(CPayload::Allocate(kLength), kLength);
        std::memset(Record(node).m_pData.get(), 'x', kLength);
        h->Select(node);
        CDataEdit* editor = h->Dlg().DataEdit();
        QCOMPARE(editor->Length(), static_cast<int>(kLength));

        QTest::keyClick(editor, Qt::Key_Y);
        QCOMPARE(editor->Length(), static_cast<int>(kLength));
        QTest::keyClick(editor, Qt::Key_Delete);
        QCOMPARE(editor->Length(), static_cast<int>(kLength) - 1);
    }

    void descriptionEdits()
    {
        const NodeId first = SelectLabel("T_BYTE");
        QPlainTextEdit* box = h->Dlg().DescEdit();
        QTest::keyClicks(box, QStringLiteral("X"));
        QVERIFY(IsEnabled(ids::kDescApply));

        // The table follows the box at once, for every chunk of that id.
        const CChunkTree& tree = h->Dlg().Document().Tree();
        h->Select(static_cast<NodeId>(tree.GetCount()));
        QCOMPARE(tree.GetItemText(h->Selected()), tree.GetItemText(first));
        QCOMPARE(box->toPlainText(), QStringLiteral("Xd-BYTE"));
        QVERIFY(IsEnabled(ids::kDescApply));

        h->Click(ids::kDescApply);
        QVERIFY(!IsEnabled(ids::kDescApply));
        QFile file(h->Path(QStringLiteral("mob_desc.txt")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("0x00003001\tBYTE\tT_BYTE\tXd-BYTE\r\n"));

        QTest::keyClicks(box, QStringLiteral("Y"));
        h->Click(ids::kDescReload);
        QCOMPARE(box->toPlainText(), QStringLiteral("Xd-BYTE"));
        QVERIFY(!IsEnabled(ids::kDescApply));
        QVERIFY(h->prompts.asked.empty());

        // No entry for the file node's id: the box empties, once.
        h->Select(tree.GetRootItem());
        QTest::keyClicks(box, QStringLiteral("Z"));
        QCOMPARE(h->prompts.Messages(), std::vector<QString>{QStringLiteral("Can't find description for id: \n0x00000000")});
        QCOMPARE(h->prompts.asked[0].icon, MessageIcon::Stop);
        QVERIFY(box->toPlainText().isEmpty());
        QVERIFY(!IsEnabled(ids::kDescApply));
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
        SelectLabel("T_BYTE");
        ApplyData(QStringLiteral("8"));
        QTest::keyClicks(h->Dlg().DescEdit(), QStringLiteral("X"));
        QFile::remove(h->Path(QStringLiteral("mob_desc.txt")));
        if (!file.isEmpty())
            h->WriteDescFile(file.toStdString());

        h->Click(ids::kDescReload);
        QApplication::processEvents();
        QCOMPARE(h->prompts.Asked(Kind::Message).size(), 1u);
        QCOMPARE(h->prompts.asked[0].icon, MessageIcon::Stop);
        QVERIFY(!h->Dlg().ExitRequested() && h->Dlg().isVisible());
        QVERIFY(h->Dlg().Document().IsModified());
        QCOMPARE(h->Dlg().DataEdit()->toPlainText(), QStringLiteral("8"));
        QCOMPARE(h->Dlg().DescEdit()->toPlainText(), description);
        QVERIFY(IsEnabled(ids::kDescApply));
    }

    void rightClickConcernsTheSelection()
    {
        QTreeView* tree = h->Dlg().TreeCtrl();
        const QPoint other = tree->visualRect(h->Dlg().TreeModel().index(0, 0)).center();
        // The button, then the context menu request the platform makes of it.
        const auto rightClick = [&] {
            QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, other);
            QContextMenuEvent request(QContextMenuEvent::Mouse, other, tree->viewport()->mapToGlobal(other));
            QApplication::sendEvent(tree->viewport(), &request);
        };
        rightClick();
        QVERIFY(h->prompts.asked.empty());
        QCOMPARE(h->Selected(), kNoNode);

        const NodeId selected = SelectLabel("T_BYTE");
        rightClick();
        QCOMPARE(h->prompts.Messages(), std::vector<QString>{QStringLiteral("Not impemented")});
        QCOMPARE(h->prompts.asked[0].icon, MessageIcon::None);
        QCOMPARE(h->Selected(), selected);
    }

    void unloadAsksAboutAppliedEdits_data()
    {
        QTest::addColumn<bool>("edited");
        QTest::addColumn<bool>("answer");
        QTest::newRow("nothing applied") << false << false;
        QTest::newRow("applied, No") << true << false;
        QTest::newRow("applied, Yes") << true << true;
    }

    void unloadAsksAboutAppliedEdits()
    {
        QFETCH(bool, edited);
        QFETCH(bool, answer);
        SelectLabel("T_BYTE");
        if (edited)
            ApplyData(QStringLiteral("8"));
        h->prompts.yesNoAnswers = {answer};
        h->Click(ids::kUnload);

        const auto asked = h->prompts.Asked(Kind::YesNo);
        QCOMPARE(asked.size(), edited ? 1u : 0u);
        if (edited)
            QVERIFY(asked[0].text.endsWith(QStringLiteral("Unload anyway?")));
        const bool unloaded = !edited || answer;
        QCOMPARE(h->Dlg().TreeModel().rowCount(), unloaded ? 0 : 1);
        QCOMPARE(h->Dlg().Document().IsModified(), !unloaded);
        // Nothing is left to show once the chunks are gone.
        QCOMPARE(h->FieldText(ids::kTypeIdField).isEmpty(), unloaded);
    }

    void cipherTraceOnlyWhenSwitchedOn()
    {
        static QStringList lines;
        const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext& context,
                                                                    const QString& message) {
            if (qstrcmp(context.category, "quillmere.cipher") == 0)
                lines << message;
        });
        for (const bool on : {false, true}) {
            lines.clear();
            tester.reset();
            h.reset();
            QLoggingCategory::setFilterRules(on ? QStringLiteral("quillmere.cipher=true") : QString());
            StartWithSample();
            SelectLabel("T_SCRIPT_ENC");
            QCOMPARE(lines.isEmpty() ? QString() : lines.front(), on ? QStringLiteral("Key: 12345 Size: 5") : QString());
        }
        qInstallMessageHandler(previous);
    }
};

QTEST_MAIN(PanesTest)
#include "PanesTest.moc"
