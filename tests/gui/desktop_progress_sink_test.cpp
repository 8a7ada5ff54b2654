// A 256 MiB run steps 262,144 times from a worker; the widgets see a new
// position only when the percentage changes.
#include <QTemporaryDir>
#include <QTest>
#include <thread>

#include "widgets/app_profile.h"
#include "widgets/desktop_progress_sink.h"
#include "widgets/percent_bar.h"
#include "widgets/progress_popup.h"

using namespace korvane;

class DesktopProgressSinkTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        QVERIFY(dir_.isValid());
        AppProfile::UseFileForTesting(dir_.filePath(QStringLiteral("profile.ini")));
    }
    void cleanup() { AppProfile::UseFileForTesting(QString()); }

    void aLargeRunReachesTheWidgetsOncePerPercent() {
        CPercentBar bar;
        bar.resize(300, 24);
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        CProgressPopup popup;
        QVERIFY(popup.Open(nullptr, QStringLiteral("Manager")));
        CDesktopProgressSink sink(&bar);
        sink.SetPopup(&popup);
        constexpr int kPackets = 262144;  // 256 MiB in 1 KiB packets
        std::thread worker([&] {
            sink.MoveTo(0);
            sink.SetText("正在烧写 ");
            sink.SetSpan(0, kPackets);
            for (int i = 0; i < kPackets; ++i)
                sink.Step();
        });
        worker.join();
        QTRY_COMPARE(bar.DrawnText(), QString::fromUtf8("正在烧写 100%"));
        QTRY_VERIFY(popup.windowTitle().endsWith(QStringLiteral("[100%]")));
        // One explicit move, then one per percent from 1 to 100.
        QCOMPARE(sink.Forwarded(), 101);
        QCOMPARE(bar.Position(), kPackets);
        QVERIFY2(bar.PaintCount() <= 103, qPrintable(QString::number(bar.PaintCount())));
        popup.Close();
    }

    void aRunThatStopsMidwayShowsWhereItStopped() {
        CPercentBar bar;
        bar.resize(200, 20);
        CDesktopProgressSink sink(&bar);
        sink.SetSpan(0, 3);
        sink.Step();
        QCOMPARE(bar.Position(), 1);
        QCOMPARE(bar.CurrentText(), QStringLiteral("33%"));
        sink.MoveTo(0);
        sink.SetText("");
        QCOMPARE(bar.Position(), 0);
        QCOMPARE(bar.CurrentText(), QString());
    }

    void anEmptySpanNeverDividesByZero() {
        CPercentBar bar;
        CDesktopProgressSink sink(&bar);
        sink.SetSpan(5, 5);
        for (int i = 0; i < 10; ++i)
            sink.Step();
        QCOMPARE(sink.Forwarded(), 0);
    }

  private:
    QTemporaryDir dir_;
};

QTEST_MAIN(DesktopProgressSinkTest)
#include "desktop_progress_sink_test.moc"
