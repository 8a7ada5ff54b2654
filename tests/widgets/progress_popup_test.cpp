// The progress popup: caption percentages, cancelling, its remembered
// position and a worker thread driving it.
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <memory>
#include <thread>

#include "widgets/temp_profile.h"
#include "widgets/app_profile.h"
#include "widgets/control_names.h"
#include "widgets/message_box_owner.h"
#include "widgets/progress_popup.h"
#include "widgets/screen_placement.h"

using korvane::AppProfile;
using korvane::FindControl;
using korvane::ProgressPopup;

class ProgressPopupTest : public QObject {
    Q_OBJECT

  private slots:
    // One profile file for the whole run: each test writes what it reads.
    void initTestCase() { QVERIFY(profile_.IsValid()); }

    void captionShowsThePercentOnceItChanges() {
        ProgressPopup popup;
        QVERIFY(popup.Open(nullptr, QStringLiteral("Manager")));
        popup.SetBounds(0, 3, 1);
        QCOMPARE(popup.SetPosition(0), 0);
        QCOMPARE(popup.windowTitle(), QStringLiteral("Manager"));
        QCOMPARE(popup.SetPosition(1), 0);
        QCOMPARE(popup.windowTitle(), QStringLiteral("Manager [33%]"));
        QCOMPARE(popup.Advance(), 1);
        QCOMPARE(popup.windowTitle(), QStringLiteral("Manager [67%]"));
        QCOMPARE(popup.Advance(), 2);
        QCOMPARE(popup.windowTitle(), QStringLiteral("Manager [100%]"));
        auto* bar = FindControl<QProgressBar>(&popup, korvane::progress_popup_names::kProgressBar);
        QVERIFY(bar);
        QCOMPARE(bar->value(), 3);
        QCOMPARE(bar->accessibleDescription(), QStringLiteral("100%"));
        popup.Close();
    }

    void titleIsTakenLiterally() {
        ProgressPopup popup;
        QVERIFY(popup.Open(nullptr, QStringLiteral("A%2B")));
        popup.SetBounds(0, 2, 1);
        popup.SetPosition(1);
        QCOMPARE(popup.windowTitle(), QStringLiteral("A%2B [50%]"));
        popup.Close();
    }

    void emptyRangeNeverShowsAPercent() {
        ProgressPopup popup;
        QVERIFY(popup.Open(nullptr, QStringLiteral("Manager")));
        popup.SetBounds(5, 5, 1);
        for (int position = 0; position < 10; ++position) {
            popup.SetPosition(position);
            QCOMPARE(popup.windowTitle(), QStringLiteral("Manager"));
        }
        popup.Close();
    }

    void layoutKeepsEveryControlInside() {
        ProgressPopup popup;
        QVERIFY(popup.Open(nullptr, QStringLiteral("Manager")));
        auto* message = FindControl<QLabel>(&popup, korvane::progress_popup_names::kMessageLabel);
        auto* bar = FindControl<QProgressBar>(&popup, korvane::progress_popup_names::kProgressBar);
        auto* cancel =
            FindControl<QPushButton>(&popup, korvane::progress_popup_names::kCancelButton);
        QVERIFY(message && bar && cancel);
        QCOMPARE(cancel->text(), QStringLiteral(" Cancel "));
        QCOMPARE(cancel->geometry().right(), message->geometry().right());
        QCOMPARE(bar->geometry().right() + 1 + 10, cancel->geometry().left());
        QVERIFY(popup.rect().contains(cancel->geometry()));
        QVERIFY(cancel->width() >= cancel->sizeHint().width() - 8);
        QVERIFY(message->height() >= 2 * message->fontMetrics().height());
        popup.SetMessage(QString::fromUtf8("正在下载内核……"));
        QCOMPARE(message->text(), QString::fromUtf8("正在下载内核……"));
        popup.SetMessage(QString(600, QLatin1Char('x')));
        QCOMPARE(message->text().size(), 512);
        popup.Close();
    }

    void isTheMessageBoxOwnerWhileOpen() {
        ProgressPopup popup;
        QVERIFY(popup.Open(nullptr, QStringLiteral("Manager")));
        QCOMPARE(korvane::MessageBoxOwner(), &popup);
        popup.Close();
        QVERIFY(korvane::MessageBoxOwner() != &popup);
    }

    void escapeCancelsAndBringsTheMainWindowForward() {
        QWidget main;
        main.resize(300, 200);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        ProgressPopup popup;
        QVERIFY(popup.Open(&main, QStringLiteral("Manager")));
        popup.PumpMessages(true);
        QVERIFY(!popup.Cancelled());
        QTest::keyClick(&main, Qt::Key_Escape);
        QVERIFY(popup.Cancelled());
        QVERIFY(popup.isHidden());
        QTRY_COMPARE(QApplication::activeWindow(), &main);
        // A step after the cancel does not bring the popup back.
        popup.Advance();
        QVERIFY(popup.isHidden());
        popup.Close();
        // The next Open starts afresh.
        QVERIFY(popup.Open(&main, QStringLiteral("Manager")));
        QVERIFY(!popup.Cancelled());
        popup.Close();
    }

    void escapeIgnoredWhenNotAsked() {
        QWidget main;
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        ProgressPopup popup;
        QVERIFY(popup.Open(&main, QStringLiteral("Manager")));
        popup.PumpMessages(false);
        QTest::keyClick(&main, Qt::Key_Escape);
        QVERIFY(!popup.Cancelled());
        QVERIFY(popup.isVisible());
        popup.Close();
    }

    void cancelButtonCancels() {
        ProgressPopup popup;
        QVERIFY(popup.Open(nullptr, QStringLiteral("Manager")));
        QVERIFY(QTest::qWaitForWindowExposed(&popup));
        auto* cancel =
            FindControl<QPushButton>(&popup, korvane::progress_popup_names::kCancelButton);
        QTest::mouseClick(cancel, Qt::LeftButton);
        QVERIFY(popup.Cancelled());
        QVERIFY(popup.isHidden());
        popup.Close();
    }

    // A close from the window manager or the application's quit is accepted
    // (a refused close would keep the application from quitting) and cancels.
    void closingTheWindowCancels() {
        ProgressPopup popup;
        QVERIFY(popup.Open(nullptr, QStringLiteral("Manager")));
        QVERIFY(popup.close());
        QVERIFY(popup.Cancelled());
        QVERIFY(popup.isHidden());
        popup.Close();
    }

    void closedPopupKeepsItsPosition() {
        ProgressPopup popup;
        QVERIFY(popup.Open(nullptr, QStringLiteral("Manager")));
        popup.SetPosition(40);
        popup.Close();
        QCOMPARE(popup.SetPosition(90), 40);
        QCOMPARE(popup.Advance(), 40);
        QVERIFY(popup.isHidden());
        QCOMPARE(popup.windowTitle(), QStringLiteral("Manager [40%]"));
    }

    void positionIsRemembered() {
        {
            ProgressPopup popup;
            QVERIFY(popup.Open(nullptr, QStringLiteral("Manager")));
            popup.move(23, 45);
            QTRY_COMPARE(popup.pos(), QPoint(23, 45));
            popup.Close();
        }
        {
            auto profile = AppProfile::Open();
            QCOMPARE(profile->value(QStringLiteral("Settings/X")).toInt(), 23);
            QCOMPARE(profile->value(QStringLiteral("Settings/Y")).toInt(), 45);
        }
        ProgressPopup again;
        QVERIFY(again.Open(nullptr, QStringLiteral("Manager")));
        QCOMPARE(again.pos(), QPoint(23, 45));
        again.Close();
    }

    void offScreenPositionIsCentred_data() {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::newRow("far right") << 5000 << 10;
        QTest::newRow("far down") << 10 << 5000;
        QTest::newRow("negative") << -700 << 10;
    }
    void offScreenPositionIsCentred() {
        QFETCH(int, x);
        QFETCH(int, y);
        {
            auto profile = AppProfile::Open();
            profile->setValue(QStringLiteral("Settings/X"), x);
            profile->setValue(QStringLiteral("Settings/Y"), y);
        }
        ProgressPopup popup;
        QVERIFY(popup.Open(nullptr, QStringLiteral("Manager")));
        QRect centred(QPoint(0, 0), popup.size());
        centred.moveCenter(korvane::AvailableScreenRects().front().center());
        QCOMPARE(popup.pos(), centred.topLeft());
        popup.Close();
    }

    void partlyHiddenPositionIsPulledInside() {
        const QRect screen = korvane::AvailableScreenRects().front();
        {
            auto profile = AppProfile::Open();
            profile->setValue(QStringLiteral("Settings/X"), screen.right() - 100);
            profile->setValue(QStringLiteral("Settings/Y"), 20);
        }
        ProgressPopup popup;
        QVERIFY(popup.Open(nullptr, QStringLiteral("Manager")));
        QCOMPARE(popup.pos(), QPoint(screen.right() + 1 - popup.width(), 20));
        popup.Close();
    }

    void workerDrivesThePopup() {
        ProgressPopup popup;
        QVERIFY(popup.Open(nullptr, QStringLiteral("Manager")));
        std::atomic<bool> done{false};
        std::thread worker([&] {
            popup.SetBounds(0, 100, 1);
            popup.SetMessage(QString::fromUtf8("下载完成，请等待烧写成功！"));
            for (int i = 0; i < 100 && !popup.Cancelled(); ++i) {
                popup.Advance();
                popup.PumpMessages(true);
            }
            done = true;
        });
        QTRY_VERIFY(done.load());
        worker.join();
        QTRY_COMPARE(popup.windowTitle(), QStringLiteral("Manager [100%]"));
        auto* message = FindControl<QLabel>(&popup, korvane::progress_popup_names::kMessageLabel);
        QCOMPARE(message->text(), QString::fromUtf8("下载完成，请等待烧写成功！"));
        popup.Close();
    }

  private:
    korvane::testing::TempProfile profile_;
};

QTEST_MAIN(ProgressPopupTest)
#include "progress_popup_test.moc"
