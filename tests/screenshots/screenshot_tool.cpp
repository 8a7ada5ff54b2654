// korvane_screenshots: starts the real window and takes one picture of it
// for the docs, then ends. A test program of its own, so that the shipped
// korvane carries no such switch.
//
//   korvane_screenshots --what main|minimum|large|settings|about|logo|kernel|discover|batch|
//                              batch-run [--lang zh|en]
//                       --out FILE.png [--image F] [--picture F] [--range A-B]
//                       [Qt options]
//
// "kernel" starts a kernel run of --image from the page and takes the
// window once its bar is part-way, then cancels the run; "discover" finds
// panels over --range (loopback simulators, so nothing is broadcast).
// "batch" shows the empty batch page; "batch-run" lists the panels of
// --range there, programs --image as their kernel and takes the window once
// the first bar is part-way, then cancels the batch.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/startup.h"
#include "discovery/discover_panels.h"
#include "models/panel_models.h"
#include "system/program_files.h"
#include "widgets/about_dialog.h"
#include "widgets/batch_page.h"
#include "widgets/control_names.h"
#include "widgets/link_settings_dialog.h"
#include "widgets/logo_picker_dialog.h"
#include "widgets/main_window.h"
#include "widgets/maintenance_page.h"
#include "widgets/panel_controller.h"
#include "widgets/percent_bar.h"

namespace korvane {
namespace {

struct Shot {
    QString what = QStringLiteral("main");
    QString out;
    QString image;
    QString picture;
    std::string range;
};

void Save(QWidget& target, const QString& path) {
    const bool saved = target.grab().save(path, "PNG");
    std::fprintf(stderr, "screenshot %s: %s\n", saved ? "saved" : "NOT saved",
                 path.toUtf8().constData());
    QApplication::exit(saved ? 0 : 1);
}

// Saves the window once `part_way` holds (a run well under way), then
// cancels the run and ends the program when the panel work has stopped.
void SaveWhenPartWay(DesktopParts& parts, const QString& path, std::function<bool()> part_way) {
    auto* poll = new QTimer(&parts.window);
    MainWindow* window = &parts.window;
    PanelController* controller = &parts.controller;
    QObject::connect(poll, &QTimer::timeout, window,
                     [window, controller, poll, path, part_way = std::move(part_way)] {
                         if (poll->property("saved").isNull() && part_way()) {
                             const bool saved = window->grab().save(path, "PNG");
                             std::fprintf(stderr, "screenshot %s: %s\n",
                                          saved ? "saved" : "NOT saved", path.toUtf8().constData());
                             poll->setProperty("saved", saved);
                             controller->CancelRun();
                         }
                         if (!poll->property("saved").isNull() && !controller->busy())
                             QApplication::exit(poll->property("saved").toBool() ? 0 : 1);
                     });
    poll->start(50);
}

// Taken once the bar is part-way; the run is cancelled before the end.
void ShootKernelRun(DesktopParts& parts, const Shot& shot) {
    auto* page = parts.window.findChild<MaintenancePage*>();
    auto* bar =
        page ? FindControl<PercentBar>(page, maintenance_page_names::kRunProgressBar) : nullptr;
    if (!bar) {
        std::fputs("korvane_screenshots: the page has no progress bar\n", stderr);
        QApplication::exit(1);
        return;
    }
    page->ProgramImage(ImageKind::Kernel, shot.image.toStdString());
    SaveWhenPartWay(parts, shot.out, [bar] {
        static const QRegularExpression percent(QStringLiteral("(\\d+)%$"));
        const auto m = percent.match(bar->CurrentText());
        return m.hasMatch() && m.captured(1).toInt() >= 35;
    });
}

// The settings dialog after its panel search, with the first panel picked.
void ShootDiscover(DesktopParts& parts, const Shot& shot) {
    const auto range = ParseAddressRange(shot.range);
    if (!range) {
        std::fprintf(stderr, "korvane_screenshots: bad --range '%s'\n", shot.range.c_str());
        QApplication::exit(1);
        return;
    }
    auto* dlg = new LinkSettingsDialog(parts.controller, parts.prompts, &parts.window);
    DiscoverOptions options;
    options.target = DiscoverOptions::Target::Range;
    options.range = *range;
    options.wait_ms = 300;
    dlg->SetDiscoverTarget(options);
    dlg->show();
    dlg->FindPanels();
    auto* poll = new QTimer(dlg);
    const QString path = shot.out;
    QObject::connect(poll, &QTimer::timeout, dlg, [dlg, poll, path] {
        if (dlg->discovering())
            return;
        poll->stop();
        if (auto* list = FindControl<QTreeWidget>(dlg, link_settings_names::kFoundPanelsList);
            list && list->topLevelItemCount())
            list->setCurrentItem(list->topLevelItem(0));
        QTimer::singleShot(300, dlg, [dlg, path] { Save(*dlg, path); });
    });
    poll->start(50);
}

// The batch page over the panels of --range, taken mid-run.
void ShootBatchRun(DesktopParts& parts, BatchPage* page, const Shot& shot) {
    page->AddEntries(QString::fromStdString(shot.range));
    FindControl<QCheckBox>(page, batch_page_names::kKernelCheck)->setChecked(true);
    FindControl<QLineEdit>(page, batch_page_names::kKernelFileEdit)->setText(shot.image);
    FindControl<QCheckBox>(page, batch_page_names::kClockCheck)->setChecked(true);
    page->Start();
    auto* bar = FindControl<PercentBar>(
        page, (std::string(batch_page_names::kRowProgressBar) + "1").c_str());
    if (!page->Running() || !bar) {
        std::fputs("korvane_screenshots: the batch did not start\n", stderr);
        QApplication::exit(1);
        return;
    }
    SaveWhenPartWay(parts, shot.out, [bar] {
        return bar->Upper() > bar->Lower() &&
               (bar->Position() - bar->Lower()) * 100 >= 35 * (bar->Upper() - bar->Lower());
    });
}

void Shoot(DesktopParts& parts, const Shot& shot) {
    QTimer::singleShot(500, &parts.window, [&parts, shot] {
        QWidget* target = &parts.window;
        if (shot.what == QLatin1String("kernel")) {
            ShootKernelRun(parts, shot);
            return;
        }
        if (shot.what == QLatin1String("discover")) {
            ShootDiscover(parts, shot);
            return;
        }
        if (shot.what.startsWith(QLatin1String("batch"))) {
            auto* page = parts.window.findChild<BatchPage*>();
            if (!page) {
                std::fputs("korvane_screenshots: the window has no batch page\n", stderr);
                QApplication::exit(1);
                return;
            }
            parts.window.OnNext();
            if (shot.what == QLatin1String("batch-run")) {
                ShootBatchRun(parts, page, shot);
                return;
            }
        }
        if (shot.what == QLatin1String("minimum")) {
            parts.window.resize(parts.window.minimumSize());
        } else if (shot.what == QLatin1String("large")) {
            parts.window.resize(1900, 1100);
        } else if (shot.what == QLatin1String("settings")) {
            target = new LinkSettingsDialog(parts.controller, parts.prompts, &parts.window);
        } else if (shot.what == QLatin1String("about")) {
            target = new AboutDialog(&parts.window);
        } else if (shot.what == QLatin1String("logo")) {
            auto* picker = new LogoPickerDialog(
                parts.controller.sink(), parts.prompts,
                PanelModelsFileFor(RunningExecutable().parent_path() / "korvane"), &parts.window);
            picker->SetPicturePath(shot.picture);
            picker->SetBackground(0x00603818);
            target = picker;
        }
        target->show();
        QTimer::singleShot(500, &parts.window, [target, path = shot.out] { Save(*target, path); });
    });
}

}  // namespace
}  // namespace korvane

int main(int argc, char** argv) {
    korvane::Shot shot;
    std::optional<korvane::UiLanguage> language;
    // Our options are taken out; the rest (the program name, Qt's options)
    // goes on to the window.
    std::vector<char*> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        const bool has_value = i + 1 < argc;
        const auto value = [&] { return QString::fromLocal8Bit(argv[++i]); };
        if (std::strcmp(argv[i], "--what") == 0 && has_value) {
            shot.what = value();
        } else if (std::strcmp(argv[i], "--out") == 0 && has_value) {
            shot.out = value();
        } else if (std::strcmp(argv[i], "--image") == 0 && has_value) {
            shot.image = value();
        } else if (std::strcmp(argv[i], "--picture") == 0 && has_value) {
            shot.picture = value();
        } else if (std::strcmp(argv[i], "--range") == 0 && has_value) {
            shot.range = argv[++i];
        } else if (std::strcmp(argv[i], "--lang") == 0 && has_value) {
            language = korvane::ParseUiLanguage(argv[++i]);
            if (!language) {
                std::fprintf(stderr, "korvane_screenshots: --lang takes zh or en, not %s\n",
                             argv[i]);
                return 64;
            }
        } else {
            rest.push_back(argv[i]);
        }
    }
    if (shot.out.isEmpty()) {
        std::fputs(
            "usage: korvane_screenshots --what WHAT --out FILE.png [--image F] "
            "[--picture F] [--range A-B] [--lang zh|en]\n",
            stderr);
        return 64;
    }
    int rest_count = static_cast<int>(rest.size());
    rest.push_back(nullptr);
    // The window takes the files beside this tool as korvane takes those
    // beside itself.
    korvane::DesktopOptions options;
    options.executable = korvane::RunningExecutable().parent_path() / "korvane";
    options.language = language;
    options.after_show = [&shot](korvane::DesktopParts& parts) { Shoot(parts, shot); };
    return korvane::RunDesktop(rest_count, rest.data(), options);
}
