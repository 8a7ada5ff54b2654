// Anchored layout, size gripper and the saved window rectangle of the
// resizable dialog.
#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QSettings>
#include <QSizeGrip>
#include <QTest>

#include "widgets/temp_profile.h"
#include "widgets/anchored_dialog.h"
#include "widgets/app_profile.h"
#include "widgets/control_names.h"
#include "widgets/screen_placement.h"

using korvane::AnchoredDialog;
using korvane::AppProfile;

class AnchoredDialogTest : public QObject {
    Q_OBJECT

  private slots:
    // One profile file for the whole run: each test writes what it reads.
    void initTestCase() { QVERIFY(profile_.IsValid()); }

    void arrangesForNewSize_data() {
        QTest::addColumn<QSize>("registered");
        QTest::addColumn<QRect>("child");
        QTest::addColumn<QPoint>("topLeft");
        QTest::addColumn<QPoint>("bottomRight");
        QTest::addColumn<QSize>("arranged");
        QTest::addColumn<QRect>("expected");

        const QSize base(200, 100);
        QTest::newRow("fixed corner, grow")
            << base << QRect(10, 10, 50, 20) << QPoint(0, 0) << QPoint(0, 0) << QSize(300, 200)
            << QRect(10, 10, 50, 20);
        QTest::newRow("left column, grow")
            << base << QRect(10, 10, 50, 20) << QPoint(0, 0) << QPoint(0, 100) << QSize(300, 200)
            << QRect(10, 10, 50, 120);
        QTest::newRow("left column, shrink")
            << base << QRect(10, 10, 50, 20) << QPoint(0, 0) << QPoint(0, 100) << QSize(150, 90)
            << QRect(10, 10, 50, 10);
        QTest::newRow("both ways, grow")
            << base << QRect(10, 10, 150, 60) << QPoint(0, 0) << QPoint(100, 100) << QSize(300, 200)
            << QRect(10, 10, 250, 160);
        QTest::newRow("both ways, shrink")
            << base << QRect(10, 10, 150, 60) << QPoint(0, 0) << QPoint(100, 100) << QSize(120, 80)
            << QRect(10, 10, 70, 40);
        QTest::newRow("shrunk past the offsets keeps no negative size")
            << base << QRect(10, 10, 150, 60) << QPoint(0, 0) << QPoint(100, 100) << QSize(20, 20)
            << QRect(10, 10, 0, 0);
        QTest::newRow("(-1,-1) is the top-left point")
            << base << QRect(150, 70, 40, 20) << QPoint(100, 100) << QPoint(-1, -1)
            << QSize(300, 200) << QRect(250, 170, 40, 20);
        // Registration truncates 201 * 50 / 100 to 100; arranging rounds it to 101.
        QTest::newRow("registration truncates, arranging rounds")
            << QSize(201, 100) << QRect(90, 10, 20, 20) << QPoint(50, 0) << QPoint(50, 0)
            << QSize(201, 100) << QRect(91, 10, 20, 20);
        QTest::newRow("half a pixel rounds up when shrinking")
            << base << QRect(90, 10, 20, 20) << QPoint(50, 0) << QPoint(50, 0) << QSize(199, 100)
            << QRect(90, 10, 20, 20);
        QTest::newRow("half anchor, grow")
            << base << QRect(90, 10, 20, 20) << QPoint(50, 0) << QPoint(50, 0) << QSize(300, 100)
            << QRect(140, 10, 20, 20);
    }
    void arrangesForNewSize() {
        QFETCH(QSize, registered);
        QFETCH(QRect, child);
        QFETCH(QPoint, topLeft);
        QFETCH(QPoint, bottomRight);
        QFETCH(QSize, arranged);
        QFETCH(QRect, expected);

        AnchoredDialog dialog;
        dialog.resize(registered);
        auto* label = new QLabel(&dialog);
        label->setGeometry(child);
        QVERIFY(dialog.AddAnchor(label, topLeft, bottomRight));
        dialog.ArrangeLayout(arranged.width(), arranged.height());
        QCOMPARE(label->geometry(), expected);
    }

    void resizingTheShownDialogArranges() {
        AnchoredDialog dialog;
        dialog.resize(200, 100);
        auto* label = new QLabel(&dialog);
        label->setGeometry(10, 10, 150, 60);
        QVERIFY(dialog.AddAnchor(label, QPoint(0, 0), QPoint(100, 100)));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.resize(300, 200);
        QTRY_COMPARE(label->geometry(), QRect(10, 10, 250, 160));
        // A negative size means the current client size.
        label->setGeometry(0, 0, 1, 1);
        dialog.ArrangeLayout(-1, -1);
        QCOMPARE(label->geometry(), QRect(10, 10, 250, 160));
    }

    void nestedChildKeepsDialogCoordinates() {
        AnchoredDialog dialog;
        dialog.resize(200, 100);
        auto* frame = new QWidget(&dialog);
        frame->setGeometry(20, 20, 160, 70);
        auto* label = new QLabel(frame);
        label->setGeometry(5, 5, 100, 40);  // (25, 25) in the dialog
        QVERIFY(dialog.AddAnchor(label, QPoint(100, 100), QPoint(100, 100)));
        dialog.ArrangeLayout(250, 130);
        QCOMPARE(label->geometry(), QRect(55, 35, 100, 40));
    }

    void growingByOnePixelNeverMovesAFixedChild() {
        AnchoredDialog dialog;
        dialog.resize(100, 50);
        auto* label = new QLabel(&dialog);
        const QRect start(7, 9, 31, 13);
        label->setGeometry(start);
        QVERIFY(dialog.AddAnchor(label, QPoint(0, 0), QPoint(0, 0)));
        for (int step = 0; step < 400; ++step) {
            dialog.ArrangeLayout(100 + step, 50 + step);
            QCOMPARE(label->geometry(), start);
        }
    }

    void destroyedChildIsDropped() {
        AnchoredDialog dialog;
        dialog.resize(200, 100);
        auto* kept = new QLabel(&dialog);
        auto* gone = new QLabel(&dialog);
        kept->setGeometry(10, 10, 50, 20);
        gone->setGeometry(10, 40, 50, 20);
        QVERIFY(dialog.AddAnchor(kept, QPoint(0, 0), QPoint(100, 0)));
        QVERIFY(dialog.AddAnchor(gone, QPoint(0, 0), QPoint(100, 0)));
        QCOMPARE(dialog.AnchorCount(), 2);
        delete gone;
        dialog.ArrangeLayout(300, 100);
        QCOMPARE(dialog.AnchorCount(), 1);
        QCOMPARE(kept->geometry(), QRect(10, 10, 150, 20));

        QWidget elsewhere;
        kept->setParent(&elsewhere);
        kept->setGeometry(10, 10, 150, 20);
        dialog.ArrangeLayout(400, 100);
        QCOMPARE(dialog.AnchorCount(), 0);
        QCOMPARE(kept->geometry(), QRect(10, 10, 150, 20));
    }

    void addAnchorFailures() {
        AnchoredDialog dialog;
        dialog.resize(200, 100);
        auto* label = new QLabel(&dialog);
        label->setObjectName("statusLabel");
        QWidget elsewhere;
        auto* stranger = new QLabel(&elsewhere);
        stranger->setObjectName("strangerLabel");

        QVERIFY(!dialog.AddAnchor(label, QPoint(-1, -1), QPoint(100, 100)));
        QVERIFY(!dialog.AddAnchor(static_cast<QWidget*>(nullptr), QPoint(0, 0)));
        QVERIFY(!dialog.AddAnchor(stranger, QPoint(0, 0)));
        QVERIFY(!dialog.AddAnchor(&dialog, QPoint(0, 0)));
        QVERIFY(!dialog.AddAnchor("statusLabel", QPoint(-1, -1)));
        QVERIFY(!dialog.AddAnchor("strangerLabel", QPoint(0, 0)));  // not in this dialog
        QVERIFY(!dialog.AddAnchor("nothingLabel", QPoint(0, 0)));
        QCOMPARE(dialog.AnchorCount(), 0);

        QVERIFY(dialog.AddAnchor("statusLabel", QPoint(0, 0), QPoint(0, 100)));
        // Registering again replaces the record.
        label->setGeometry(10, 10, 50, 20);
        QVERIFY(dialog.AddAnchor(label, QPoint(0, 0), QPoint(100, 0)));
        QCOMPARE(dialog.AnchorCount(), 1);
        dialog.ArrangeLayout(300, 300);
        QCOMPARE(label->geometry(), QRect(10, 10, 150, 20));
    }

    void sizeGripSitsBottomRightAndHides() {
        AnchoredDialog dialog;
        dialog.resize(200, 100);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QSizeGrip* grip = dialog.SizeGrip();
        QVERIFY(dialog.IsSizeGripShown());
        QVERIFY(grip->isVisible());
        dialog.resize(260, 140);
        QTRY_COMPARE(grip->geometry().bottomRight(), QPoint(259, 139));

        dialog.ShowSizeGrip(false);
        QVERIFY(!grip->isVisible());
        dialog.ShowSizeGrip(false);  // already hidden: stays so
        QVERIFY(!grip->isVisible());
        QVERIFY(!dialog.IsSizeGripShown());
        dialog.ShowSizeGrip(true);
        QVERIFY(grip->isVisible());
    }

    void embeddedDialogShowsNoGripper() {
        QWidget window;
        auto* page = new AnchoredDialog(&window);
        page->setWindowFlags(Qt::Widget);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(page->isVisible());
        QVERIFY(!page->SizeGrip()->isVisible());
    }

    void savedRectangleIsRestored() {
        const QRect chosen(100, 120, 300, 200);
        {
            AnchoredDialog dialog;
            dialog.EnableSaveRestore(QStringLiteral("Dialog Positions"),
                                     QStringLiteral("OrvelManagerDlg"));
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            dialog.setGeometry(chosen);
            QTRY_COMPARE(dialog.geometry(), chosen);
            dialog.close();
        }
        {
            auto profile = AppProfile::Open();
            QCOMPARE(
                profile->value(QStringLiteral("Dialog Positions/OrvelManagerDlg/Rect")).toRect(),
                chosen);
        }
        AnchoredDialog again;
        again.EnableSaveRestore(QStringLiteral("Dialog Positions"),
                                QStringLiteral("OrvelManagerDlg"));
        QCOMPARE(again.geometry(), chosen);
    }

    void destroyingAShownDialogSaves() {
        const QRect chosen(40, 50, 220, 150);
        {
            AnchoredDialog dialog;
            dialog.EnableSaveRestore(QStringLiteral("Dialog Positions"), QStringLiteral("Other"));
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            dialog.setGeometry(chosen);
            QTRY_COMPARE(dialog.geometry(), chosen);
        }
        auto profile = AppProfile::Open();
        QCOMPARE(profile->value(QStringLiteral("Dialog Positions/Other/Rect")).toRect(), chosen);
    }

    void rectangleOffEveryScreenIsBroughtBack() {
        {
            auto profile = AppProfile::Open();
            profile->setValue(QStringLiteral("Dialog Positions/OrvelManagerDlg/Rect"),
                              QRect(5000, -3000, 300, 200));
        }
        AnchoredDialog dialog;
        dialog.EnableSaveRestore(QStringLiteral("Dialog Positions"),
                                 QStringLiteral("OrvelManagerDlg"));
        const QRect screen = korvane::AvailableScreenRects().front();
        QVERIFY2(screen.contains(dialog.geometry()),
                 qPrintable(QStringLiteral("%1,%2").arg(dialog.x()).arg(dialog.y())));
        QCOMPARE(dialog.size(), QSize(300, 200));
    }

    void bringOntoScreen_data() {
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("on the first screen") << QRect(10, 10, 300, 200) << QRect(10, 10, 300, 200);
        QTest::newRow("on the second screen")
            << QRect(1300, 100, 300, 200) << QRect(1300, 100, 300, 200);
        QTest::newRow("half off the edge")
            << QRect(-150, 10, 300, 200) << QRect(-150, 10, 300, 200);
        QTest::newRow("a sliver left") << QRect(-290, 10, 300, 200) << QRect(350, 300, 300, 200);
        QTest::newRow("where a screen used to be")
            << QRect(3000, 100, 300, 200) << QRect(350, 300, 300, 200);
        QTest::newRow("larger than the screen")
            << QRect(5000, 0, 2000, 900) << QRect(0, 0, 1000, 800);
    }
    void bringOntoScreen() {
        QFETCH(QRect, rect);
        QFETCH(QRect, expected);
        const QList<QRect> screens{QRect(0, 0, 1000, 800), QRect(1000, 0, 1280, 1024)};
        QCOMPARE(korvane::BringOntoScreen(rect, screens), expected);
    }

    void fitInsideScreen_data() {
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("inside") << QRect(10, 10, 300, 200) << QRect(10, 10, 300, 200);
        QTest::newRow("past the right edge")
            << QRect(2200, 10, 300, 200) << QRect(1980, 10, 300, 200);
        QTest::newRow("over two screens, more on the second")
            << QRect(900, 10, 300, 200) << QRect(1000, 10, 300, 200);
        QTest::newRow("evenly over two screens")
            << QRect(850, 10, 300, 200) << QRect(700, 10, 300, 200);
        QTest::newRow("mostly on the second screen")
            << QRect(2100, 900, 300, 200) << QRect(1980, 824, 300, 200);
        QTest::newRow("above the top") << QRect(10, -100, 300, 200) << QRect(10, 0, 300, 200);
        QTest::newRow("nowhere") << QRect(9000, 100, 300, 200) << QRect(350, 300, 300, 200);
    }
    void fitInsideScreen() {
        QFETCH(QRect, rect);
        QFETCH(QRect, expected);
        const QList<QRect> screens{QRect(0, 0, 1000, 800), QRect(1000, 0, 1280, 1024)};
        QCOMPARE(korvane::FitInsideScreen(rect, screens), expected);
    }

  private:
    korvane::testing::TempProfile profile_;
};

QTEST_MAIN(AnchoredDialogTest)
#include "anchored_dialog_test.moc"
