// The control layout and the dialog-unit mapping on plain widgets.

#include "ui/CControlLayout.h"
#include "ui/CDialogUnits.h"
#include "ui/ControlId.h"

#include <QTest>


using namespace qm;

namespace {

constexpr int kId = 100;
const QRect kStart(10, 20, 100, 50);

struct Scene {
    Scene()
    {
        parent.resize(400, 300);
        control = new QWidget(&parent);
        control->setGeometry(kStart);
        SetControlId(control, kId);
    }
    QWidget parent;
    QWidget* control;
};

} // namespace

class ControlLayoutTest : public QObject {
    Q_OBJECT

private slots:
    void repositionBeforeAttachChangesNothing()
    {
        Scene s;
        CControlLayout layout;
        layout.AddControl(kId, LAYOUT_SIZE_X | LAYOUT_SIZE_Y);
        QCOMPARE(layout.GetCount(), 0u);
        s.parent.resize(500, 400);
        layout.Reposition();
        QCOMPARE(s.control->geometry(), kStart);
    }

    void anchors_data()
    {
        QTest::addColumn<uint>("flags");
        QTest::addColumn<QRect>("grown");  // after the parent grows by 50 x 30
        QTest::newRow("none") << 0u << kStart;
        QTest::newRow("move x") << uint(LAYOUT_MOVE_X) << kStart.translated(50, 0);
        QTest::newRow("move y") << uint(LAYOUT_MOVE_Y) << kStart.translated(0, 30);
        QTest::newRow("size x") << uint(LAYOUT_SIZE_X) << kStart.adjusted(0, 0, 50, 0);
        QTest::newRow("size y") << uint(LAYOUT_SIZE_Y) << kStart.adjusted(0, 0, 0, 30);
        QTest::newRow("size both") << uint(LAYOUT_SIZE_X | LAYOUT_SIZE_Y) << kStart.adjusted(0, 0, 50, 30);
        QTest::newRow("move x, size y") << uint(LAYOUT_MOVE_X | LAYOUT_SIZE_Y) << QRect(60, 20, 100, 80);
        QTest::newRow("move both") << uint(LAYOUT_MOVE_X | LAYOUT_MOVE_Y) << kStart.translated(50, 30);
    }

    void anchors()
    {
        QFETCH(uint, flags);
        QFETCH(QRect, grown);
        Scene s;
        CControlLayout layout;
        layout.Attach(&s.parent);
        layout.AddControl(kId, flags);

        s.parent.resize(450, 330);
        layout.Reposition();
        QCOMPARE(s.control->geometry(), grown);

        // Below the size at Attach nothing moves further...
        s.parent.resize(300, 200);
        layout.Reposition();
        QCOMPARE(s.control->geometry(), kStart);
        s.parent.resize(350, 250);
        layout.Reposition();
        QCOMPARE(s.control->geometry(), kStart);

        // ...and growing back counts only the part above it.
        s.parent.resize(450, 330);
        layout.Reposition();
        QCOMPARE(s.control->geometry(), grown);
        s.parent.resize(400, 300);
        layout.Reposition();
        QCOMPARE(s.control->geometry(), kStart);
    }

    void unknownIdIsSkippedAndOthersStillMove()
    {
        Scene s;
        CControlLayout layout;
        layout.Attach(&s.parent);
        layout.AddControl(999, LAYOUT_SIZE_X);
        layout.AddControl(kId, LAYOUT_SIZE_X);
        QCOMPARE(layout.GetCount(), 1u);
        s.parent.resize(420, 300);
        layout.Reposition();
        QCOMPARE(s.control->width(), kStart.width() + 20);
    }

    void repositionWithoutEntriesStillRemembersTheSize()
    {
        Scene s;
        CControlLayout layout;
        layout.Attach(&s.parent);
        s.parent.resize(460, 300);
        layout.Reposition();
        layout.AddControl(kId, LAYOUT_SIZE_X);
        layout.Reposition();
        QCOMPARE(s.control->geometry(), kStart);
    }

    void dialogUnits_data()
    {
        QTest::addColumn<int>("baseX");
        QTest::addColumn<int>("baseY");
        QTest::addColumn<QRect>("units");
        QTest::addColumn<QRect>("pixels");
        // The 8-point system font's bases: 6 x 13.
        QTest::newRow("button") << 6 << 13 << QRect(6, 6, 30, 12) << QRect(9, 10, 45, 19);
        QTest::newRow("halves round up") << 6 << 13 << QRect(1, 1, 1, 1) << QRect(2, 2, 1, 1);
        QTest::newRow("whole window") << 6 << 13 << QRect(0, 0, 465, 317) << QRect(0, 0, 698, 515);
        QTest::newRow("wider font") << 8 << 16 << QRect(12, 36, 228, 252) << QRect(24, 72, 456, 504);
    }

    void dialogUnits()
    {
        QFETCH(int, baseX);
        QFETCH(int, baseY);
        QFETCH(QRect, units);
        QFETCH(QRect, pixels);
        const CDialogUnits du(baseX, baseY);
        QCOMPARE(du.MapRect(units.x(), units.y(), units.width(), units.height()), pixels);
    }
};

QTEST_MAIN(ControlLayoutTest)
#include "ControlLayoutTest.moc"
