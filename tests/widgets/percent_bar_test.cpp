// The text progress bar: its texts, when it repaints, and a worker thread
// driving it through a whole transfer.
#include <QAccessible>
#include <QApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "widgets/percent_bar.h"

using korvane::PercentBar;

namespace {

// A shown bar whose first paint has happened, so that counts start clean.
void ShowAndSettle(PercentBar& bar) {
    bar.resize(200, 24);
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    QTRY_VERIFY(bar.PaintCount() > 0);
    QTest::qWait(20);
}

}  // namespace

class PercentBarTest : public QObject {
    Q_OBJECT

  private slots:
    void isAProgressBarWithValueAndTextToAssistiveTechnology() {
        QWidget row;
        auto* layout = new QHBoxLayout(&row);
        auto* caption = new QLabel(QString::fromUtf8("操作状态:"), &row);
        auto* bar = new PercentBar(&row);
        caption->setBuddy(bar);
        layout->addWidget(caption);
        layout->addWidget(bar);
        row.resize(300, 30);
        row.show();
        QVERIFY(QTest::qWaitForWindowExposed(&row));

        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(bar);
        QVERIFY(a);
        QCOMPARE(a->role(), QAccessible::ProgressBar);
        // Named by its caption, as the user sees it.
        QCOMPARE(a->text(QAccessible::Name), QString::fromUtf8("操作状态:"));
        QAccessibleValueInterface* v = a->valueInterface();
        QVERIFY(v);

        bar->SetSpan(0, 200);
        bar->SetText(QString::fromUtf8("内核下载中"));
        bar->MoveTo(50);
        QTRY_COMPARE(a->text(QAccessible::Value), QString::fromUtf8("内核下载中25%"));
        QCOMPARE(v->minimumValue().toInt(), 0);
        QCOMPARE(v->maximumValue().toInt(), 200);
        QCOMPARE(v->currentValue().toInt(), 50);
        // Beyond the span it reads full, as it is drawn.
        bar->MoveTo(500);
        QTRY_COMPARE(v->currentValue().toInt(), 200);
        QTRY_COMPARE(a->text(QAccessible::Value), QString::fromUtf8("内核下载中100%"));
    }

    void barText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("percent");
        QTest::addColumn<QString>("expected");
        QTest::newRow("text and percent") << "text " << 25 << "text 25%";
        QTest::newRow("text alone at 0") << "text " << 0 << "text ";
        QTest::newRow("percent alone") << "" << 33 << "33%";
        QTest::newRow("nothing") << "" << 0 << "";
    }
    void barText() {
        QFETCH(QString, text);
        QFETCH(int, percent);
        QFETCH(QString, expected);
        QCOMPARE(PercentBar::BarText(text, percent), expected);
    }

    void drawsTheTextForThePosition_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("lower");
        QTest::addColumn<int>("upper");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("expected");
        QTest::newRow("50 of 0..200") << "text " << 0 << 200 << 50 << "text 25%";
        QTest::newRow("0 of 0..200") << "text " << 0 << 200 << 0 << "text ";
        QTest::newRow("empty text at 0") << "" << 0 << 3 << 0 << "";
        QTest::newRow("empty text, 1 of 0..3") << "" << 0 << 3 << 1 << "33%";
        QTest::newRow("beyond upper") << "下载 " << 0 << 10 << 25 << QString::fromUtf8("下载 100%");
        QTest::newRow("below lower") << "" << 10 << 20 << 5 << "";
        QTest::newRow("29 of 100 is 29") << "" << 0 << 100 << 29 << "29%";
        QTest::newRow("just short of full") << "" << 0 << 1000 << 999 << "99%";
        QTest::newRow("lower == upper") << "text " << 5 << 5 << 5 << "";
        QTest::newRow("lower > upper") << "text " << 9 << 2 << 5 << "";
        QTest::newRow("whole int range") << "" << INT_MIN << INT_MAX << 0 << "50%";
    }
    void drawsTheTextForThePosition() {
        QFETCH(QString, text);
        QFETCH(int, lower);
        QFETCH(int, upper);
        QFETCH(int, position);
        QFETCH(QString, expected);
        PercentBar bar;
        bar.SetSpan(lower, upper);
        bar.SetText(text);
        bar.MoveTo(position);
        ShowAndSettle(bar);
        QCOMPARE(bar.DrawnText(), expected);
        QCOMPARE(bar.accessibleDescription(), expected);
    }

    void paintsBarLeftAndBackgroundRight() {
        PercentBar bar;
        bar.SetBarColor(Qt::blue);
        bar.SetBackgroundColor(Qt::white);
        bar.SetSpan(0, 200);
        bar.MoveTo(50);
        bar.resize(200, 24);
        const QImage image = bar.grab().toImage();
        QCOMPARE(image.pixelColor(5, 2), QColor(Qt::blue));
        QCOMPARE(image.pixelColor(49, 2), QColor(Qt::blue));
        QCOMPARE(image.pixelColor(50, 2), QColor(Qt::white));
        QCOMPARE(image.pixelColor(195, 2), QColor(Qt::white));
    }

    void emptySpanPaintsNoBar() {
        PercentBar bar;
        bar.SetBarColor(Qt::blue);
        bar.SetBackgroundColor(Qt::white);
        bar.SetSpan(7, 7);
        QCOMPARE(bar.MoveTo(100), 0);
        bar.resize(200, 24);
        const QImage image = bar.grab().toImage();
        for (int x : {0, 100, 199}) {
            QVERIFY(image.pixelColor(x, 2) != QColor(Qt::blue));
            QVERIFY(image.pixelColor(x, 2) != QColor(Qt::white));
        }
    }

    void moveAndStepReturnThePreviousPosition() {
        PercentBar bar;
        QCOMPARE(bar.MoveTo(10), 0);
        QCOMPARE(bar.Step(), 10);
        bar.SetStep(5);
        QCOMPARE(bar.Step(), 11);
        QCOMPARE(bar.MoveBy(-6), 16);
        QCOMPARE(bar.Position(), 10);
    }

    void repaintsOnlyForAChange() {
        PercentBar bar;
        bar.SetSpan(0, 1000);
        bar.SetText(QStringLiteral("text "));
        ShowAndSettle(bar);
        int paints = bar.PaintCount();

        bar.SetText(QStringLiteral("text "));
        bar.MoveTo(0);
        bar.MoveTo(1);  // neither a pixel nor a percent
        QTest::qWait(50);
        QCOMPARE(bar.PaintCount(), paints);

        bar.MoveTo(10);  // one percent, two pixels
        QTRY_COMPARE(bar.DrawnText(), QStringLiteral("text 1%"));
        QVERIFY(bar.PaintCount() > paints);
        paints = bar.PaintCount();

        bar.SetText(QStringLiteral("other "));
        QTRY_COMPARE(bar.DrawnText(), QStringLiteral("other 1%"));
        paints = bar.PaintCount();
        bar.ShowText(false);
        QTRY_COMPARE(bar.DrawnText(), QString());
        QVERIFY(bar.PaintCount() > paints);
        paints = bar.PaintCount();
        bar.ShowText(false);
        bar.SetText(QStringLiteral("hidden "));
        QTest::qWait(50);
        QCOMPARE(bar.PaintCount(), paints);
    }

    void resizeRefreshesTheNextMove() {
        PercentBar bar;
        bar.SetSpan(0, 100);
        bar.MoveTo(50);
        ShowAndSettle(bar);
        bar.resize(100, 24);
        QTRY_COMPARE(bar.grab().toImage().pixelColor(49, 2), bar.BarColor());
        QCOMPARE(bar.grab().toImage().pixelColor(50, 2), bar.BackgroundColor());
        bar.MoveTo(50);
        QTest::qWait(20);
        QCOMPARE(bar.DrawnText(), QStringLiteral("50%"));
    }

    // A 32 MiB image in 1024-byte packets: 32768 steps from a worker thread.
    void workerDrivesAWholeTransfer() {
        PercentBar bar;
        ShowAndSettle(bar);
        const int paints_before = bar.PaintCount();
        constexpr int kPackets = 32768;
        std::atomic<bool> done{false};
        std::thread worker([&] {
            bar.MoveTo(0);
            bar.SetText(QString::fromUtf8("正在下载 "));
            bar.SetSpan(0, kPackets);
            for (int i = 0; i < kPackets; ++i) {
                bar.Step();
                // Packets take time on a link; let the user-interface thread
                // keep up, as it would, so that refreshes are not all merged.
                if (i % 16 == 0)
                    std::this_thread::sleep_for(std::chrono::microseconds(50));
            }
            done = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(done.load(), 60000);
        worker.join();
        QTRY_COMPARE(bar.DrawnText(), QString::fromUtf8("正在下载 100%"));
        QCOMPARE(bar.accessibleDescription(), QString::fromUtf8("正在下载 100%"));
        QCOMPARE(bar.Position(), kPackets);
        // 200 pixels and 100 percents change at most 300 times on the way.
        const int paints = bar.PaintCount() - paints_before;
        qInfo("paints during the run: %d", paints);
        QVERIFY2(paints >= 1 && paints <= 302, qPrintable(QString::number(paints)));
    }
};

QTEST_MAIN(PercentBarTest)
#include "percent_bar_test.moc"
