#include "app/startup.h"

#include <QApplication>
#include <QMetaObject>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <memory>

#include "app/single_instance.h"
#include "models/hmi_types.h"
#include "system/program_files.h"
#include "widgets/about_dialog.h"
#include "widgets/communication_set.h"
#include "widgets/control_ids.h"
#include "widgets/desktop_message_sink.h"
#include "widgets/logo_picker_dlg.h"
#include "widgets/maintenance_page.h"
#include "widgets/maintenance_page_factory.h"
#include "widgets/orvel_manager_dlg.h"
#include "widgets/panel_controller.h"
#include "widgets/percent_bar.h"
#include "widgets/resource_bundle.h"
#include "widgets/user_prompts.h"

namespace korvane {

namespace {

// Without a screen (the offscreen platform) nobody could dismiss a modal
// box, so messages go to stderr instead and questions are answered "no".
class StderrPrompts : public UserPrompts {
  public:
    void ShowMessage(MessageKind kind, const QString& text) override {
        std::fprintf(stderr, "%s: %s\n", MessageKindName(kind), text.toUtf8().constData());
    }
    bool Ask(const QString& question) override {
        std::fprintf(stderr, "question (answered no): %s\n", question.toUtf8().constData());
        return false;
    }
    // Without a screen nothing can be chosen: every chooser is cancelled.
    std::optional<QString> ChooseOpenFile(QWidget*, const QString&, const QString&,
                                          const QString&) override {
        return std::nullopt;
    }
    std::optional<uint32_t> ChooseColour(QWidget*, uint32_t) override { return std::nullopt; }
};

std::unique_ptr<UserPrompts> MakePrompts(std::function<QWidget*()> owner) {
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return std::make_unique<StderrPrompts>();
    return std::make_unique<QtUserPrompts>(std::move(owner));
}

// A kernel run of KORVANE_SCREENSHOT_IMAGE from the page, taken once its
// bar is part-way, then cancelled (silently) before the program ends.
void ShootKernelRun(COrvelManagerDlg& window, PanelController& controller, const QString& path) {
    auto* page = window.findChild<CMaintenancePage*>();
    auto* bar = page ? page->findChild<CPercentBar*>(ControlName(1095)) : nullptr;
    if (!bar) {
        QApplication::exit(1);
        return;
    }
    page->ProgramImage(ImageKind::Kernel,
                       qEnvironmentVariable("KORVANE_SCREENSHOT_IMAGE").toStdString());
    auto* poll = new QTimer(&window);
    QObject::connect(poll, &QTimer::timeout, &window, [&window, &controller, bar, poll, path] {
        static const QRegularExpression percent(QStringLiteral("(\\d+)%$"));
        const auto m = percent.match(bar->CurrentText());
        const bool part_way = m.hasMatch() && m.captured(1).toInt() >= 35;
        if (part_way && poll->property("saved").isNull()) {
            const bool saved = window.grab().save(path, "PNG");
            std::fprintf(stderr, "screenshot %s: %s\n", saved ? "saved" : "NOT saved",
                         path.toUtf8().constData());
            poll->setProperty("saved", saved);
            controller.transfer().Cancel();
        }
        if (!poll->property("saved").isNull() && !controller.busy())
            QApplication::exit(poll->property("saved").toBool() ? 0 : 1);
    });
    poll->start(50);
}

// The settings dialog after "查找面板" over KORVANE_SCREENSHOT_RANGE
// (simulated panels on loopback, so nothing is broadcast), with the first
// panel found picked.
void ShootDiscover(COrvelManagerDlg& window, PanelController& controller, UserPrompts& prompts,
                   const QString& path) {
    const auto range =
        ParseAddressRange(qEnvironmentVariable("KORVANE_SCREENSHOT_RANGE").toStdString());
    if (!range) {
        QApplication::exit(1);
        return;
    }
    auto* dlg = new CCommunicationSet(controller, prompts, &window);
    DiscoverOptions options;
    options.target = DiscoverOptions::Target::Range;
    options.range = *range;
    options.wait_ms = 300;
    dlg->SetDiscoverTarget(options);
    dlg->show();
    dlg->FindPanels();
    auto* poll = new QTimer(dlg);
    QObject::connect(poll, &QTimer::timeout, dlg, [dlg, poll, path] {
        if (dlg->discovering())
            return;
        poll->stop();
        if (auto* list = dlg->findChild<QTreeWidget*>(ControlName(1202));
            list && list->topLevelItemCount())
            list->setCurrentItem(list->topLevelItem(0));
        QTimer::singleShot(300, dlg, [dlg, path] {
            const bool saved = dlg->grab().save(path, "PNG");
            std::fprintf(stderr, "screenshot %s: %s\n", saved ? "saved" : "NOT saved",
                         path.toUtf8().constData());
            QApplication::exit(saved ? 0 : 1);
        });
    });
    poll->start(50);
}

// Screenshot hook for scripts/screenshots: KORVANE_SCREENSHOT=file.png takes
// the main window (or, with KORVANE_SCREENSHOT_WHAT=settings or about, that
// dialog over it; "logo": the logo picker; "kernel": a kernel run part-way;
// "discover": the settings dialog with the panels it found)
// once shown, saves it and ends the program.
void ArmScreenshot(COrvelManagerDlg& window, PanelController& controller, UserPrompts& prompts) {
    const QString path = qEnvironmentVariable("KORVANE_SCREENSHOT");
    if (path.isEmpty())
        return;
    const QString what = qEnvironmentVariable("KORVANE_SCREENSHOT_WHAT");
    QTimer::singleShot(500, &window, [&window, &controller, &prompts, path, what] {
        QWidget* target = &window;
        if (what == QLatin1String("kernel")) {
            ShootKernelRun(window, controller, path);
            return;
        }
        if (what == QLatin1String("discover")) {
            ShootDiscover(window, controller, prompts, path);
            return;
        }
        if (what == QLatin1String("settings")) {
            target = new CCommunicationSet(controller, prompts, &window);
        } else if (what == QLatin1String("about")) {
            target = new CAboutDlg(&window);
        } else if (what == QLatin1String("logo")) {
            // The picker over the window, showing KORVANE_SCREENSHOT_PICTURE.
            auto* picker = new CLogoPickerDlg(controller.session().sink(), prompts,
                                              HmiTypesFileFor(RunningExecutable()), &window);
            picker->SetPicturePath(qEnvironmentVariable("KORVANE_SCREENSHOT_PICTURE"));
            picker->SetBackground(0x00603818);
            target = picker;
        }
        target->show();
        QTimer::singleShot(500, &window, [target, path] {
            const bool saved = target->grab().save(path, "PNG");
            std::fprintf(stderr, "screenshot %s: %s\n", saved ? "saved" : "NOT saved",
                         path.toUtf8().constData());
            QApplication::exit(saved ? 0 : 1);
        });
    });
}

}  // namespace

int RunDesktop(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("korvane"));
    QPointer<COrvelManagerDlg> main_window;
    auto prompts = MakePrompts([&main_window] { return main_window.data(); });

    // The bundle is found from the executable's own folder, never the
    // working folder.
    if (!RegisterResourceBundle(QCoreApplication::applicationDirPath())) {
        prompts->ShowMessage(MessageKind::AppDefault, QString::fromUtf8(kNoResource));
        return 1;
    }

    // A later copy from the same parent ends before any window exists. When
    // the process list cannot be read the check is skipped: the window still
    // gets its settings, page and timer, since a window without them is a
    // dead end.
    if (CheckSingleInstance() == InstanceCheck::AnotherCopy)
        return 0;

    CDesktopMessageSink sink(*prompts);
    // The settings are found as korvane-cli finds them: Para.dat beside our
    // executable, or in the per-user folder when that folder is not writable.
    PanelController controller(sink, SettingsFile::ForExecutable(RunningExecutable()));
    controller.LoadSettings();

    COrvelManagerDlg window(controller, *prompts);
    main_window = &window;
    QPointer<COrvelManagerDlg> alive(&window);
    controller.SetPoster([alive](PanelController::Job done) {
        // A job's completion runs on the user-interface thread, and only
        // while the window is still there.
        QMetaObject::invokeMethod(
            qApp,
            [alive, done = std::move(done)] {
                if (alive)
                    done();
            },
            Qt::QueuedConnection);
    });
    window.AddPage(QString::fromUtf8("系统处理"), ResourceIcon(IDI_PANEL),
                   CreateMaintenancePage(controller, *prompts, &window));
    window.show();
    ArmScreenshot(window, controller, *prompts);
    const int status = app.exec();
    return status;
}

}  // namespace korvane
