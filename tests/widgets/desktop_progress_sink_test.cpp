// A 256 MiB run steps 262,144 times from a worker; the widgets see a new
// position only when the percentage changes.
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <thread>

#include "link/link_manager.h"
#include "protocol/panel_session.h"
#include "sim/panel.h"
#include "sim/udp_server.h"
#include "transfer/firmware_run.h"
#include "widgets/app_profile.h"
#include "widgets/control_names.h"
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
        PercentBar bar;
        bar.resize(300, 24);
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        ProgressPopup popup;
        QVERIFY(popup.Open(nullptr, QStringLiteral("Manager")));
        DesktopProgressSink sink(&bar);
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
        QTRY_COMPARE(popup.windowTitle(), QStringLiteral("Manager [100%]"));
        // One explicit move, then one per percent from 1 to 100.
        QCOMPARE(sink.Forwarded(), 101);
        QCOMPARE(bar.Position(), kPackets);
        QVERIFY2(bar.PaintCount() <= 103, qPrintable(QString::number(bar.PaintCount())));
        popup.Close();
    }

    void aRunThatStopsMidwayShowsWhereItStopped() {
        PercentBar bar;
        bar.resize(200, 20);
        DesktopProgressSink sink(&bar);
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
        PercentBar bar;
        DesktopProgressSink sink(&bar);
        sink.SetSpan(5, 5);
        for (int i = 0; i < 10; ++i)
            sink.Step();
        QCOMPARE(sink.Forwarded(), 0);
    }

    // A wait puts what is awaited and the time that may remain on the
    // popup's line and the bar, once a second, until the run goes on.
    void aWaitShowsWhatAndHowLongUntilTheRunGoesOn() {
        PercentBar bar;
        ProgressPopup popup;
        QVERIFY(popup.Open(nullptr, QStringLiteral("Manager")));
        auto* line = FindControl<QLabel>(&popup, korvane::progress_popup_names::kMessageLabel);
        QVERIFY(line);
        DesktopProgressSink sink(&bar);
        sink.SetPopup(&popup);
        const QString run = QString::fromUtf8("LOGO文件下载中");
        auto on_worker = [](auto calls) { std::thread(calls).join(); };
        on_worker([&] {
            sink.SetText("LOGO文件下载中");
            sink.SetSpan(0, 2);
            sink.Step();
            sink.Step();
            sink.Waiting(WaitFor::FinalResult, 119001);
        });
        const QString waiting = QString::fromUtf8("等待面板烧写结果，最多还需 120 秒");
        QTRY_COMPARE(line->text(), waiting);
        QCOMPARE(bar.Text(), waiting + QLatin1Char(' '));
        const int forwarded = sink.Forwarded();
        on_worker([&] {
            sink.Waiting(WaitFor::FinalResult, 118950);
            sink.Waiting(WaitFor::FinalResult, 2500);
        });
        QTRY_COMPARE(line->text(), QString::fromUtf8("等待面板烧写结果，最多还需 3 秒"));
        QCOMPARE(sink.Forwarded(), forwarded);
        on_worker([&] { sink.MoveTo(0); });
        QTRY_COMPARE(line->text(), run);
        QCOMPARE(bar.Text(), run);
        on_worker([&] { sink.Waiting(WaitFor::Erase, 240000); });
        QTRY_COMPARE(line->text(), QString::fromUtf8("等待面板擦除Flash，最多还需 240 秒"));
        on_worker([&] { sink.Waiting(WaitFor::FlashPrepare, 0); });
        QTRY_COMPARE(line->text(), QString::fromUtf8("等待面板擦除映像区域，最多还需 0 秒"));
        on_worker([&] { sink.SetText(""); });
        QTRY_COMPARE(line->text(), QString());
        popup.Close();
    }

    // The same during a real final wait of a run against the simulated panel,
    // which takes its time to burn; the Cancel button ends it.
    void aRealFinalWaitIsShown() {
        sim::Panel panel;
        sim::UdpServer server(panel);
        std::string error;
        QVERIFY2(server.Start(0, &error), error.c_str());
        panel.SetBurnMs(5000);
        RecordingSink messages;
        LinkManager link(messages);
        LinkSettings settings;
        settings.mode = LinkMode::Udp;
        settings.address = 0x0100007F;  // 127.0.0.1, first octet low
        settings.port = server.port();
        link.Configure(settings);
        PanelSession session(link, FrontEnd::Cli);
        FlashTransfer transfer(link);
        const QString image = dir_.filePath(QStringLiteral("logo.dat"));
        std::ofstream(image.toStdString(), std::ios::binary) << std::string(3000, 'x');

        PercentBar bar;
        ProgressPopup popup;
        QVERIFY(popup.Open(nullptr, QStringLiteral("Manager")));
        auto* line = FindControl<QLabel>(&popup, korvane::progress_popup_names::kMessageLabel);
        DesktopProgressSink sink(&bar);
        sink.SetPopup(&popup);
        QVERIFY(UpdateFirmware(session, transfer, ImageKind::Logo, image.toStdString(), sink));
        const QString waiting = QString::fromUtf8("等待面板烧写结果，最多还需 12");
        QTRY_VERIFY_WITH_TIMEOUT(line->text().startsWith(waiting), 4000);
        QVERIFY(bar.Text().startsWith(waiting));
        transfer.Cancel();
        session.WaitForRun();
        QCOMPARE(link.result(), LinkResult::RunCancelled);
        // The run cleared its line when it ended.
        QTRY_COMPARE(line->text(), QString());
        popup.Close();
        server.Stop();
    }

  private:
    QTemporaryDir dir_;
};

QTEST_MAIN(DesktopProgressSinkTest)
#include "desktop_progress_sink_test.moc"
