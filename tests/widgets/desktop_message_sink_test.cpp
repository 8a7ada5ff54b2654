// Boxes from a worker thread appear on the user-interface thread, and the
// worker waits until each one is dismissed.
#include <QTest>
#include <QThread>
#include <atomic>
#include <thread>

#include "link/texts.h"
#include "protocol//panel_operations.h"
#include "sim/panel.h"
#include "sim/udp_server.h"
#include "widgets/desktop_message_sink.h"
#include "widgets/panel_controller.h"
#include "widgets/user_prompts.h"

using namespace korvane;

class DesktopMessageSinkTest : public QObject {
    Q_OBJECT

  private slots:
    void fromTheUiThreadTheBoxShowsDirectly() {
        ScriptedPrompts prompts;
        DesktopMessageSink sink(prompts);
        sink.Show(MessageKind::Plain, "成功");
        QCOMPARE(prompts.shown().size(), size_t(1));
        QVERIFY(prompts.shown()[0].on_ui_thread);
        QCOMPARE(prompts.shown()[0].kind, MessageKind::Plain);
        QCOMPARE(prompts.shown()[0].text, QString::fromUtf8("成功"));
    }

    void aWorkerWaitsOnTheUiThreadsBox() {
        ScriptedPrompts prompts;
        DesktopMessageSink sink(prompts);
        std::atomic<bool> worker_past_box{false};
        bool worker_waited = false;
        prompts.SetOnShow([&](const ScriptedPrompts::Shown&) {
            // The box is "open" for a while: the worker must still be inside Show.
            QThread::msleep(100);
            worker_waited = !worker_past_box.load();
        });
        std::thread worker([&] {
            sink.Show(MessageKind::Error, "通讯超时");
            sink.Show(MessageKind::Warning, "second");
            worker_past_box = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(worker_past_box.load(), 5000);
        worker.join();
        const auto shown = prompts.shown();
        QCOMPARE(shown.size(), size_t(2));
        QVERIFY(shown[0].on_ui_thread);
        QVERIFY(shown[1].on_ui_thread);
        QCOMPARE(shown[0].kind, MessageKind::Error);
        QCOMPARE(shown[1].text, QStringLiteral("second"));
        QVERIFY(worker_waited);
    }

    void aWorkerGetsTheAnswerGivenOnTheUiThread() {
        ScriptedPrompts prompts;
        prompts.AddAnswer(true);
        prompts.AddAnswer(false);
        DesktopMessageSink sink(prompts);
        std::atomic<int> answers{-1};
        std::thread worker([&] { answers = sink.Ask("继续?") * 2 + sink.Ask("again?"); });
        QTRY_COMPARE_WITH_TIMEOUT(answers.load(), 2, 5000);
        worker.join();
        QCOMPARE(prompts.questions().size(), 2);
    }

    void aPanelJobsMessagesReachTheUiThread() {
        // The core's own message from a controller job: the erase run over
        // the network ends asking the user to wait for the panel.
        sim::Panel panel;
        sim::UdpServer server{panel};
        std::string error;
        QVERIFY2(server.Start(0, &error), error.c_str());
        ScriptedPrompts prompts;
        DesktopMessageSink sink(prompts);
        PanelController controller(sink, SettingsFile(std::nullopt));
        CommSettings s = CommSettings::Defaults();
        s.address = {127, 0, 0, 1};
        s.port = server.port();
        controller.SaveSettings(s);  // no file: the record still changes
        bool done_on_ui = false;
        controller.SetPoster([&](PanelController::Job done) {
            QMetaObject::invokeMethod(this, [&, done] {
                done_on_ui = QThread::currentThread() == thread();
                done();
            });
        });
        bool finished = false;
        NullProgress progress;
        QVERIFY(controller.RunInBackground(
            [&](PanelWork& w) { StartEraseFlash(w.session, progress); }, [&] { finished = true; }));
        QTRY_VERIFY_WITH_TIMEOUT(finished, 10000);
        server.Stop();
        QVERIFY(done_on_ui);
        const auto shown = prompts.shown();
        QCOMPARE(shown.size(), size_t(1));
        QCOMPARE(shown[0].kind, MessageKind::AppDefault);
        QCOMPARE(shown[0].text, QString::fromUtf8(Text(TextId::EraseWait)));
        QVERIFY(shown[0].on_ui_thread);
    }
};

QTEST_MAIN(DesktopMessageSinkTest)
#include "desktop_message_sink_test.moc"
