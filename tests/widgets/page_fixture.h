#pragma once
// The maintenance page against the simulated panel on loopback UDP: a
// controller whose settings point at the simulator, boxes recorded, file
// and colour choosers and questions answered by the test.
#include <QApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "link/message_sink.h"
#include "sim/panel.h"
#include "sim/udp_server.h"
#include "widgets/app_profile.h"
#include "widgets/maintenance_page.h"
#include "widgets/panel_controller.h"
#include "widgets/user_prompts.h"

namespace korvane::testing {

struct PageRig {
    explicit PageRig(const QString& folder, uint32_t mode = 1)
        : controller(sink, SettingsFile(std::filesystem::path(folder.toStdString()) / "Para.dat")) {
        std::string error;
        started = server.Start(0, &error);
        controller.LoadSettings();
        UseMode(mode);
        // Finished jobs come back to this thread, as the window's poster does.
        controller.SetPoster([](PanelController::Job done) {
            QMetaObject::invokeMethod(qApp, std::move(done), Qt::QueuedConnection);
        });
        page = std::make_unique<MaintenancePage>(controller, prompts);
    }
    ~PageRig() {
        page.reset();
        server.Stop();
    }

    void UseMode(uint32_t mode) {
        CommSettings s = controller.settings();
        s.link_mode = mode;
        s.address = {127, 0, 0, 1};
        s.port = server.port();
        controller.SaveSettings(s);
    }

    sim::Panel panel;
    sim::UdpServer server{panel};
    bool started = false;
    RecordingSink sink;
    ScriptedPrompts prompts;
    PanelController controller;
    std::unique_ptr<MaintenancePage> page;
};

// Runs `start` (a click) and waits until the page's operation has ended.
template <typename Start>
bool RunAndWait(MaintenancePage& page, Start start, int limit_ms = 30000) {
    QSignalSpy finished(&page, &MaintenancePage::OperationFinished);
    start();
    return finished.count() > 0 || finished.wait(limit_ms);
}

}  // namespace korvane::testing
