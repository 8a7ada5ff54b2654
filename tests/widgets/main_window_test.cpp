// The main window: link display per mode and after the settings dialog,
// page navigation, the About box, and closing while panel work runs.
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <future>

#include "widgets/about_dialog.h"
#include "widgets/app_profile.h"
#include "widgets/control_names.h"
#include "widgets/ip_address_edit.h"
#include "widgets/link_settings_dialog.h"
#include "widgets/main_window.h"
#include "widgets/maintenance_page_factory.h"
#include "widgets/panel_controller.h"
#include "widgets/resource_bundle.h"
#include "widgets/user_prompts.h"
#include "widgets/window_texts.h"

using namespace korvane;

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        // The tests live beside the program, so the bundle is where it finds it.
        QVERIFY(RegisterResourceBundle(QCoreApplication::applicationDirPath()));
    }
    void init() {
        QVERIFY(dir_.isValid());
        AppProfile::UseFileForTesting(dir_.filePath(QStringLiteral("profile.ini")));
        QFile::remove(dir_.filePath(QStringLiteral("Para.dat")));
        controller_ = std::make_unique<PanelController>(
            sink_, SettingsFile(dir_.filePath(QStringLiteral("Para.dat")).toStdString()));
        controller_->LoadSettings();
        window_ = std::make_unique<MainWindow>(*controller_, prompts_);
    }
    void cleanup() {
        window_.reset();
        controller_.reset();
        AppProfile::UseFileForTesting(QString());
    }

    void bundleHoldsTheStrings_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("text");
        QTest::newRow("101") << 101 << QString::fromUtf8("关于 OrvelManager(&A)...");
        QTest::newRow("102") << 102
                             << QString::fromUtf8("图片尺寸大于触摸屏的大小，打开图片错误！");
        QTest::newRow("103") << 103 << QString::fromUtf8("下载完成，请等待烧写成功！");
        QTest::newRow("104") << 104 << QString::fromUtf8("请等待擦写Flash成功！");
        QTest::newRow("none") << 105 << QString();
    }
    void bundleHoldsTheStrings() {
        QFETCH(int, id);
        QFETCH(QString, text);
        QCOMPARE(ResourceString(id), text);
    }

    void bundleHoldsTheIconsAtBothSizes() {
        for (int id = 145; id <= 148; ++id) {
            for (int size : {32, 48})
                QCOMPARE(ResourcePixmap(id, size).size(), QSize(size, size));
        }
        QVERIFY(ResourcePixmap(149, 32).isNull());
        QCOMPARE(window_->windowIcon().availableSizes().size(), 2);
    }

    void linkFieldsPerMode_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("network") << 1 << QStringList{"网口", "192.168.0.7", "9000", "NULL"};
        QTest::newRow("serial") << 2 << QStringList{"串口", "NULL", "NULL", "COM3"};
        QTest::newRow("usb") << 3 << QStringList{"USB口", "NULL", "NULL", "NULL"};
        QTest::newRow("none") << 0 << QStringList{"NULL", "NULL", "NULL", "NULL"};
    }
    void linkFieldsPerMode() {
        QFETCH(int, mode);
        QFETCH(QStringList, fields);
        CommSettings s = controller_->settings();
        s.link_mode = static_cast<uint32_t>(mode);
        s.address = {192, 168, 0, 7};
        s.port = 9000;
        s.com = 3;
        controller_->SaveSettings(s);
        window_->RefreshLinkDisplay();
        QCOMPARE(Fields(), fields);
    }

    void startsWithTheSettingsInUse() {
        QCOMPARE(Fields(), (QStringList{"网口", "255.255.255.255", "21845", "NULL"}));
    }

    void aChangeInTheSettingsDialogShowsWithinATick() {
        window_->show();
        // The settings button runs the dialog modally; the user picks the
        // serial link and COM7 and presses Enter.
        bool handled = false;
        QTimer::singleShot(0, this, [&] {
            auto* dlg = qobject_cast<LinkSettingsDialog*>(QApplication::activeModalWidget());
            if (!dlg)
                return;
            FindControl<QRadioButton>(dlg, link_settings_names::kSerialRadio)->click();
            FindControl<QComboBox>(dlg, link_settings_names::kComChoice)
                ->setCurrentText(QStringLiteral("COM7"));
            FindControl<QPushButton>(dlg, link_settings_names::kOkButton)->click();
            handled = true;
        });
        FindControl<QPushButton>(window_.get(), main_window_names::kLinkSettingsButton)->click();
        QVERIFY(handled);
        QElapsedTimer since_ok;
        since_ok.start();
        // The window's own timer (200 ms) shows it; allow a second period for a busy machine.
        QTRY_COMPARE_WITH_TIMEOUT(Fields(), (QStringList{"串口", "NULL", "NULL", "COM7"}), 400);
        qInfo("display followed after %lld ms", static_cast<long long>(since_ok.elapsed()));
    }

    void aRestoredSizeStillPutsThePageOnThePageArea() {
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        window_->resize(1000, 700);
        window_->close();  // keeps the rectangle in the profile
        window_ = std::make_unique<MainWindow>(*controller_, prompts_);
        QCOMPARE(window_->size(), QSize(1000, 700));
        auto* page = new QWidget;
        window_->AddPage(QStringLiteral("page"), QIcon(), page);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        const QRect area =
            FindControl<QWidget>(window_.get(), main_window_names::kPageArea)->geometry();
        QCOMPARE(page->geometry(), area.adjusted(2, 2, -2, -2));
        QCOMPARE(area.right(), window_->width() - 11);
    }

    void navigationWithOnePageKeepsIt() {
        auto* page = new QWidget;
        window_->AddPage(QString::fromUtf8("系统处理"), ResourceIcon(IDI_PANEL), page);
        QCOMPARE(window_->CurrentPage(), 0);
        FindControl<QPushButton>(window_.get(), main_window_names::kPreviousPageButton)->click();
        QCOMPARE(window_->CurrentPage(), 0);
        FindControl<QPushButton>(window_.get(), main_window_names::kNextPageButton)->click();
        QCOMPARE(window_->CurrentPage(), 0);
        QCOMPARE(page->parentWidget(), window_.get());
    }

    void navigationWrapsAndShowsOnlyTheSelectedPage() {
        window_->show();
        for (int i = 0; i < 3; ++i)
            window_->AddPage(QStringLiteral("page %1").arg(i), QIcon(), new QWidget);
        auto visible = [this] {
            QList<int> v;
            for (int i = 0; i < window_->PageCount(); ++i) {
                if (window_->Page(i)->isVisible())
                    v.append(i);
            }
            return v;
        };
        QCOMPARE(visible(), QList<int>{0});
        auto* previous =
            FindControl<QPushButton>(window_.get(), main_window_names::kPreviousPageButton);
        auto* next = FindControl<QPushButton>(window_.get(), main_window_names::kNextPageButton);
        previous->click();
        QCOMPARE(window_->CurrentPage(), 2);
        QCOMPARE(visible(), QList<int>{2});
        next->click();
        QCOMPARE(window_->CurrentPage(), 0);
        next->click();
        QCOMPARE(window_->CurrentPage(), 1);
        QCOMPARE(visible(), QList<int>{1});
    }

    void aboutIsInTheContextMenuAndBehindAButton() {
        auto* action =
            window_->findChild<QAction*>(QString::fromLatin1(main_window_names::kAboutAction));
        QVERIFY(action);
        QCOMPARE(action->text(), QString::fromUtf8("关于 OrvelManager(&A)..."));
        QCOMPARE(window_->contextMenuPolicy(), Qt::ActionsContextMenu);
        QString shown;
        QTimer::singleShot(0, this, [&] {
            if (auto* about = qobject_cast<AboutDialog*>(QApplication::activeModalWidget())) {
                shown = about->objectName();
                about->accept();
            }
        });
        FindControl<QPushButton>(window_.get(), main_window_names::kAboutButton)->click();
        QCOMPARE(shown, QString::fromLatin1(about_names::kDialog));
    }

    void closingWhileWorkRunsWaitsForIt() {
        window_->show();
        std::promise<void> release;
        std::shared_future<void> gate = release.get_future().share();
        QVERIFY(controller_->RunInBackground([gate](PanelWork&) { gate.wait(); }));
        window_->close();
        QTest::qWait(300);
        QVERIFY(window_->isVisible());
        QVERIFY(controller_->cancel_pending());
        release.set_value();
        QTRY_VERIFY_WITH_TIMEOUT(!window_->isVisible(), 1000);
    }

    void escapeNeitherEndsTheProgramNorHidesThePage() {
        QWidget* page = AddRealPage();
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        auto* settings =
            FindControl<QPushButton>(window_.get(), main_window_names::kLinkSettingsButton);
        settings->setFocus();
        QTest::keyClick(settings, Qt::Key_Escape);
        QVERIFY(window_->isVisible());
        QCOMPARE(window_->result(), 0);
        auto* kernel = FindControl<QPushButton>(page, maintenance_page_names::kKernelButton);
        kernel->setFocus();
        QTest::keyClick(kernel, Qt::Key_Escape);
        QVERIFY(page->isVisible());
        QVERIFY(window_->isVisible());
        QVERIFY(prompts_.questions().isEmpty());
    }

    void theSettingsButtonIsLockedWhileWorkRuns() {
        window_->show();
        auto* settings =
            FindControl<QPushButton>(window_.get(), main_window_names::kLinkSettingsButton);
        QVERIFY(settings->isEnabled());
        std::promise<void> release;
        std::shared_future<void> gate = release.get_future().share();
        QVERIFY(controller_->RunInBackground([gate](PanelWork&) { gate.wait(); }));
        QTRY_VERIFY_WITH_TIMEOUT(!settings->isEnabled(), 2 * kLinkDisplayPeriodMs + 500);
        QCOMPARE(settings->toolTip(), WindowText(WindowTextId::LinkLockedDuringRun));
        // Reached another way (a shortcut, assistive technology), the dialog
        // still does not open: a dialog that opened would be modal here.
        bool dialog_opened = false;
        QTimer::singleShot(0, this, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                dialog_opened = true;
                modal->close();
            }
        });
        window_->OnSettings();
        QTest::qWait(50);
        QVERIFY(!dialog_opened);
        release.set_value();
        QTRY_VERIFY_WITH_TIMEOUT(settings->isEnabled(), 2 * kLinkDisplayPeriodMs + 500);
        QVERIFY(settings->toolTip().isEmpty());
    }

    void atTheMinimumSizeEveryControlIsWholeAndWideWindowsKeepNaturalWidths() {
        QWidget* page = AddRealPage();
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        window_->resize(window_->minimumSize());
        QTRY_COMPARE(window_->size(), window_->minimumSize());
        QCoreApplication::processEvents();
        for (QWidget* w : page->findChildren<QWidget*>()) {
            if (!w->isVisibleTo(page) || w->inherits("QMenu"))
                continue;
            const QString name = w->objectName().isEmpty()
                                     ? QString::fromLatin1(w->metaObject()->className())
                                     : w->objectName();
            // Captions are whole: a button or label is at least as wide as
            // its text needs; nothing sticks out of its parent.
            if (qobject_cast<QPushButton*>(w) || qobject_cast<QLabel*>(w)) {
                QVERIFY2(w->width() >= w->minimumSizeHint().width(), qPrintable(name));
            }
            QVERIFY2(w->parentWidget()->rect().contains(w->geometry()), qPrintable(name));
        }
        const QRect area =
            FindControl<QWidget>(window_.get(), main_window_names::kPageArea)->geometry();
        QVERIFY(window_->rect().contains(area));

        // Grown very large, address fields keep their natural width.
        window_->resize(2300, 1400);
        QTRY_COMPARE(window_->width(), 2300);
        QCoreApplication::processEvents();
        const auto edits = page->findChildren<IpAddressEdit*>();
        QVERIFY(!edits.isEmpty());
        for (IpAddressEdit* edit : edits)
            QVERIFY2(edit->width() <= edit->sizeHint().width(), qPrintable(edit->objectName()));
    }

    void valuesAreReadableByAssistiveTechnology() {
        QWidget* page = AddRealPage();
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        // A value label is named by its value; its caption is its related label.
        const std::pair<const char*, const char*> captioned[] = {
            {main_window_names::kLinkModeLabel, "当前通讯方式:"},
            {main_window_names::kLinkAddressLabel, "IP:"},
            {main_window_names::kLinkPortLabel, "PORT:"},
            {main_window_names::kLinkComLabel, "串口号:"}};
        for (const auto& [name, caption] : captioned) {
            auto* field = FindControl<QLabel>(window_.get(), name);
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(field);
            QVERIFY(a);
            QCOMPARE(a->text(QAccessible::Name), field->text());
            QStringList labels;
            for (const auto& [other, relation] : a->relations(QAccessible::Label))
                labels << other->text(QAccessible::Name);
            QVERIFY2(labels.contains(QString::fromUtf8(caption)), qPrintable(labels.join('|')));
        }
        // The page has the name the list shows; buttons the captions they show.
        QCOMPARE(QAccessible::queryAccessibleInterface(page)->text(QAccessible::Name),
                 QString::fromUtf8("系统处理"));
        auto* more = FindControl<QPushButton>(page, maintenance_page_names::kMoreButton);
        QCOMPARE(QAccessible::queryAccessibleInterface(more)->text(QAccessible::Name),
                 more->text());
        // The run's bar is a progress bar; the figures line reads as its text.
        QWidget* bar = FindControl<QWidget>(page, maintenance_page_names::kRunProgressBar);
        QCOMPARE(QAccessible::queryAccessibleInterface(bar)->role(), QAccessible::ProgressBar);
        auto* figures = FindControl<QLabel>(page, maintenance_page_names::kRunFiguresLabel);
        figures->setText(QStringLiteral("1/2 bytes"));
        QCOMPARE(QAccessible::queryAccessibleInterface(figures)->text(QAccessible::Name),
                 QStringLiteral("1/2 bytes"));
    }

  private:
    QWidget* AddRealPage() {
        QWidget* page = CreateMaintenancePage(*controller_, prompts_, window_.get());
        window_->AddPage(QString::fromUtf8("系统处理"), QIcon(), page);
        return page;
    }

    QStringList Fields() const {
        QStringList t;
        for (const char* name :
             {main_window_names::kLinkModeLabel, main_window_names::kLinkAddressLabel,
              main_window_names::kLinkPortLabel, main_window_names::kLinkComLabel})
            t.append(FindControl<QLabel>(window_.get(), name)->text());
        return t;
    }

    QTemporaryDir dir_;
    RecordingSink sink_;
    ScriptedPrompts prompts_;
    std::unique_ptr<PanelController> controller_;
    std::unique_ptr<MainWindow> window_;
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
