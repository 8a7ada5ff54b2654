#include "app/startup.h"

#include <QApplication>
#include <QMetaObject>
#include <QPointer>
#include <cstdio>
#include <memory>
#include <optional>

#include "app/single_instance.h"
#include "system/program_files.h"
#include "widgets/batch_page.h"
#include "widgets/desktop_message_sink.h"
#include "widgets/main_window.h"
#include "widgets/maintenance_page.h"
#include "widgets/maintenance_page_factory.h"
#include "widgets/panel_controller.h"
#include "widgets/resource_bundle.h"
#include "widgets/user_prompts.h"
#include "widgets/window_language.h"
#include "widgets/window_texts.h"

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
    std::optional<QString> ChooseSaveFile(QWidget*, const QString&, const QString&) override {
        return std::nullopt;
    }
    std::optional<uint32_t> ChooseColour(QWidget*, uint32_t) override { return std::nullopt; }
};

std::unique_ptr<UserPrompts> MakePrompts(std::function<QWidget*()> owner) {
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return std::make_unique<StderrPrompts>();
    return std::make_unique<QtUserPrompts>(std::move(owner));
}

}  // namespace

void TellUnusableSettings(UserPrompts& prompts, const std::string& why) {
    if (why.empty())
        return;
    prompts.ShowMessage(
        MessageKind::Warning,
        WindowText(WindowTextId::SettingsUnusable).arg(QString::fromStdString(why)));
}

int RunDesktop(int argc, char** argv, const DesktopOptions& options) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("korvane"));
    QPointer<MainWindow> main_window;
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
    if (CheckSingleInstance() == InstanceCheck::AnotherCopy) {
        // Said on stderr, so that a launcher or script sees why no window came.
        std::fputs("korvane: another copy started from the same parent is already running\n",
                   stderr);
        return kAlreadyRunningStatus;
    }

    // The settings are found as korvane-cli finds them: Para.dat beside our
    // executable, or in the per-user folder when that folder is not writable.
    const std::filesystem::path executable =
        options.executable.empty() ? RunningExecutable() : options.executable;
    UiLanguage language = options.language.value_or(ChooseWindowLanguage(ProcessEnv));
    bool first = true;
    for (;;) {
        // A language chosen in the window builds everything again in it; the
        // settings and the window's place come back from their files.
        WindowTranslation translation(language);
        DesktopMessageSink sink(*prompts);
        PanelController controller(sink, SettingsFile::ForExecutable(executable));
        const std::string unusable = controller.LoadSettings();

        MainWindow window(controller, *prompts);
        main_window = &window;
        QPointer<MainWindow> alive(&window);
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
        std::optional<UiLanguage> next;
        QObject::connect(&window, &MainWindow::LanguageChosen, &window,
                         [&next, &window](UiLanguage chosen) {
                             next = chosen;
                             window.close();
                         });
        window.AddPage(QCoreApplication::translate("korvane::Startup", "系统处理"),
                       ResourceIcon(IDI_PANEL),
                       CreateMaintenancePage(controller, *prompts, &window));
        window.AddPage(QCoreApplication::translate("korvane::Startup", "批量烧写"),
                       ResourceIcon(IDI_NETWORK), new BatchPage(controller, *prompts, &window));
        window.show();
        // Over the window, which already shows the defaults in use.
        if (first)
            TellUnusableSettings(*prompts, unusable);
        first = false;
        if (options.after_show) {
            DesktopParts parts{window, controller, *prompts};
            options.after_show(parts);
        }
        const int status = app.exec();
        if (!next)
            return status;
        language = *next;
    }
}

}  // namespace korvane
