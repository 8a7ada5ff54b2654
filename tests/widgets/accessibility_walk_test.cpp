// What assistive technology reads of every window: the main window with its
// maintenance and batch pages, the settings dialog, the logo picker, the About box and
// the progress popup are walked through their QAccessible trees, and each
// control must carry a name a screen reader can say.
#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <algorithm>
#include <memory>
#include <vector>

#include "link/message_sink.h"
#include "widgets/about_dialog.h"
#include "widgets/app_profile.h"
#include "widgets/batch_page.h"
#include "widgets/control_names.h"
#include "widgets/ip_address_edit.h"
#include "widgets/link_settings_dialog.h"
#include "widgets/logo_picker_dialog.h"
#include "widgets/main_window.h"
#include "widgets/maintenance_page_factory.h"
#include "widgets/panel_controller.h"
#include "widgets/progress_popup.h"
#include "widgets/resource_bundle.h"
#include "widgets/user_prompts.h"
#include "widgets/window_rig.h"

using namespace korvane;

namespace {

// A caption as a screen reader says it: mnemonic marks gone, "&&" an '&'.
QString Spoken(QString caption) {
    caption.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    caption.remove(QLatin1Char('&'));
    caption.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return caption.trimmed();
}

bool Interactive(QAccessible::Role role) {
    switch (role) {
        case QAccessible::PushButton:
        case QAccessible::CheckBox:
        case QAccessible::RadioButton:
        case QAccessible::EditableText:
        case QAccessible::ComboBox:
        case QAccessible::SpinBox:
        case QAccessible::ProgressBar:
        case QAccessible::ButtonMenu:
        case QAccessible::Slider:
        case QAccessible::List:
            return true;
        default:
            return false;
    }
}

struct Walk {
    QStringList faults;
    int visited = 0;

    static QString What(QAccessibleInterface* a) {
        const QObject* o = a->object();
        const QString name =
            o && !o->objectName().isEmpty() ? o->objectName() : QStringLiteral("(no object name)");
        return name + QLatin1Char(' ') +
               QString::fromLatin1(o ? o->metaObject()->className() : "(no object)");
    }

    void Fault(QAccessibleInterface* a, const QString& what) {
        faults << What(a) + QStringLiteral(": ") + what;
    }

    void Check(QAccessibleInterface* a) {
        ++visited;
        const QString name = a->text(QAccessible::Name);
        const QAccessible::Role role = a->role();
        const QObject* o = a->object();
        switch (role) {
            case QAccessible::PushButton:
            case QAccessible::CheckBox:
            case QAccessible::RadioButton:
            case QAccessible::ButtonMenu:
                if (const auto* b = qobject_cast<const QAbstractButton*>(o);
                    b && !b->text().isEmpty()) {
                    if (name != Spoken(b->text()))
                        Fault(a, QStringLiteral("named \"%1\", shows \"%2\"").arg(name, b->text()));
                } else if (name.isEmpty()) {
                    Fault(a, QStringLiteral("a button without a name"));
                }
                break;
            case QAccessible::EditableText:
            case QAccessible::ComboBox:
            case QAccessible::SpinBox:
            case QAccessible::ProgressBar:
                if (name.isEmpty())
                    Fault(a, QStringLiteral("no name (role %1)").arg(int(role)));
                break;
            case QAccessible::StaticText:
                if (const auto* label = qobject_cast<const QLabel*>(o)) {
                    QString shown = label->text();
                    if (Qt::mightBeRichText(shown)) {
                        QTextDocument doc;
                        doc.setHtml(shown);
                        shown = doc.toPlainText();
                    }
                    if (label->buddy())
                        shown = Spoken(shown);
                    // An empty line says nothing yet, but a name of its own
                    // would be read instead of what it shows later.
                    if (shown.isEmpty() ? !label->accessibleName().isEmpty()
                                        : name.trimmed() != shown.trimmed())
                        Fault(a, QStringLiteral("named \"%1\", shows \"%2\"").arg(name, shown));
                }
                break;
            case QAccessible::Dialog:
            case QAccessible::Window:
                if (name.isEmpty())
                    Fault(a, QStringLiteral("a window without a name"));
                break;
            default:
                // Qt's row of dialog buttons is no control of its own: each
                // button in it is named.
                if (name.isEmpty() && HasInteractiveChild(a) &&
                    !a->object()->inherits("QDialogButtonBox"))
                    Fault(
                        a,
                        QStringLiteral("nameless container (role %1) of controls").arg(int(role)));
                break;
        }
    }

    static bool HasInteractiveChild(QAccessibleInterface* a) {
        for (int i = 0; i < a->childCount(); ++i) {
            if (QAccessibleInterface* c = a->child(i); c && Interactive(c->role()))
                return true;
        }
        return false;
    }

    void Visit(QAccessibleInterface* a) {
        // What is kept hidden in its window is not presented at all.
        if (const auto* w = qobject_cast<const QWidget*>(a->object());
            w && !w->isWindow() && !w->isVisibleTo(w->window()))
            return;
        Check(a);
        for (int i = 0; i < a->childCount(); ++i) {
            QAccessibleInterface* c = a->child(i);
            if (!c) {
                Fault(a, QStringLiteral("child %1 missing").arg(i));
                continue;
            }
            Visit(c);
        }
    }
};

QStringList Faults(QWidget& window) {
    Walk walk;
    QAccessibleInterface* root = QAccessible::queryAccessibleInterface(&window);
    if (!root)
        return {QStringLiteral("no interface")};
    walk.Visit(root);
    if (walk.visited < 2)
        walk.faults << QStringLiteral("no controls found");
    return walk.faults;
}

// Every interface below `root`, depth first.
void Collect(QAccessibleInterface* root, std::vector<QAccessibleInterface*>& out) {
    for (int i = 0; i < root->childCount(); ++i) {
        if (QAccessibleInterface* c = root->child(i)) {
            out.push_back(c);
            Collect(c, out);
        }
    }
}

}  // namespace

class AccessibilityWalkTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        // The tests live beside the program, so the bundle is where it finds it.
        QVERIFY(RegisterResourceBundle(QCoreApplication::applicationDirPath()));
    }
    void init() {
        rig_ = std::make_unique<testing::WindowRig>();
        QVERIFY(rig_->IsValid());
    }
    void cleanup() { rig_.reset(); }

    void everyWindowIsReadableControlByControl() {
        MainWindow window(rig_->controller, rig_->prompts);
        QWidget* page = CreateMaintenancePage(rig_->controller, rig_->prompts, &window);
        window.AddPage(QString::fromUtf8("系统处理"), QIcon(), page);
        LinkSettingsDialog settings(rig_->controller, rig_->prompts);
        LogoPickerDialog picker(rig_->sink, rig_->prompts, std::nullopt);
        AboutDialog about;
        ProgressPopup popup;
        popup.Open(nullptr, QStringLiteral("Manager"));
        popup.SetMessage(QStringLiteral("message"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (QWidget* w :
             std::initializer_list<QWidget*>{&window, &settings, &picker, &about, &popup}) {
            const QStringList faults = Faults(*w);
            QVERIFY2(faults.isEmpty(), qPrintable(w->objectName() + QStringLiteral(": ") +
                                                  faults.join(QStringLiteral("; "))));
        }
        popup.Close();
    }

    // The batch page with panels listed: each control, each row's bar a
    // named progress bar with its value, the summary read as it shows.
    void theBatchPageIsReadableAndTabsInVisualOrder() {
        MainWindow window(rig_->controller, rig_->prompts);
        window.AddPage(QString::fromUtf8("系统处理"), QIcon(),
                       CreateMaintenancePage(rig_->controller, rig_->prompts, &window));
        auto* page = new BatchPage(rig_->controller, rig_->prompts, &window);
        window.AddPage(QString::fromUtf8("批量烧写"), QIcon(), page);
        window.OnNext();
        page->AddEntries(QStringLiteral("127.0.0.1 127.0.0.2"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(page->isVisible());
        const QStringList faults = Faults(window);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));

        auto* bar = FindControl<QWidget>(page, "batchRowProgressBar2");
        QVERIFY(bar);
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(bar);
        QVERIFY(a);
        QCOMPARE(a->role(), QAccessible::ProgressBar);
        QCOMPARE(a->text(QAccessible::Name), QString::fromUtf8("进度 127.0.0.2:21845"));
        QVERIFY(a->valueInterface());
        QCOMPARE(a->valueInterface()->currentValue().toInt(), 0);

        // Tab runs top to bottom, left to right, as the page is laid out.
        QStringList order;
        QWidget* w = FindControl<QWidget>(page, batch_page_names::kAddEdit);
        const QWidget* first = w;
        do {
            if (page->isAncestorOf(w))
                order << w->objectName();
            w = w->nextInFocusChain();
        } while (w != first);
        QStringList focusable;
        for (const QString& name : order) {
            const auto* c = FindControl<QWidget>(page, name.toLatin1().constData());
            if (c && (c->focusPolicy() & Qt::TabFocus))
                focusable << name;
        }
        using namespace batch_page_names;
        const QStringList expected = {kAddEdit,
                                      kAddButton,
                                      kPasteButton,
                                      kRangeEdit,
                                      kFindButton,
                                      kPanels,
                                      kRemoveButton,
                                      kClearButton,
                                      kBootLoaderCheck,
                                      kBootLoaderFileEdit,
                                      kBootLoaderBrowseButton,
                                      kKernelCheck,
                                      kKernelFileEdit,
                                      kKernelBrowseButton,
                                      kFileSystemCheck,
                                      kFileSystemFileEdit,
                                      kFileSystemBrowseButton,
                                      kLogoCheck,
                                      kLogoPictureEdit,
                                      kLogoBrowseButton,
                                      kLogoModelChoice,
                                      kClockCheck,
                                      kStartButton,
                                      kCancelButton,
                                      kExportButton};
        QStringList named;
        for (const QString& n : focusable) {
            if (expected.contains(n))
                named << n;
        }
        QCOMPARE(named, expected);
    }

    // The walk itself: a nameless edit, a button named apart from its
    // caption, a nameless window and a nameless box of controls all fail.
    void theWalkCatchesEachFault() {
        QDialog window;
        window.setWindowTitle(QStringLiteral("Window"));
        auto* ok = new QPushButton(QStringLiteral("&OK"), &window);
        auto* caption = new QLabel(QStringLiteral("&Name:"), &window);
        auto* edit = new QLineEdit(&window);
        caption->setBuddy(edit);
        QCOMPARE(Faults(window), QStringList());

        ok->setAccessibleName(QStringLiteral("Accept"));
        QCOMPARE(Faults(window).size(), 1);
        QVERIFY2(Faults(window).at(0).contains(QStringLiteral("QPushButton")),
                 qPrintable(Faults(window).at(0)));
        ok->setAccessibleName(QString());
        caption->setBuddy(nullptr);
        QCOMPARE(Faults(window).size(), 1);
        caption->setBuddy(edit);
        window.setWindowTitle(QString());
        QCOMPARE(Faults(window).size(), 1);
        window.setWindowTitle(QStringLiteral("Window"));
        auto* box = new QWidget(&window);
        new QPushButton(QStringLiteral("Go"), box);
        QCOMPARE(Faults(window).size(), 1);
    }

    // An address reads as one value named by its caption; its four fields
    // stay reachable and named, and the dots are no items of their own.
    void anAddressReadsAsOneValue() {
        MainWindow window(rig_->controller, rig_->prompts);
        QWidget* page = CreateMaintenancePage(rig_->controller, rig_->prompts, &window);
        window.AddPage(QString::fromUtf8("系统处理"), QIcon(), page);
        auto* edit = FindControl<IpAddressEdit>(page, maintenance_page_names::kNewIpEdit);
        QVERIFY(edit);
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(edit);
        QVERIFY(a);
        QCOMPARE(a->text(QAccessible::Name), QStringLiteral("IP:"));
        QCOMPARE(a->text(QAccessible::Value), QStringLiteral("192.168.0.100"));
        QCOMPARE(a->role(), QAccessible::Grouping);

        std::vector<QAccessibleInterface*> inside;
        Collect(a, inside);
        QStringList names;
        for (QAccessibleInterface* c : inside) {
            names << c->text(QAccessible::Name);
            QCOMPARE(c->role(), QAccessible::EditableText);
        }
        QCOMPARE(names, (QStringList{QStringLiteral("IP 1"), QStringLiteral("IP 2"),
                                     QStringLiteral("IP 3"), QStringLiteral("IP 4")}));
        // Each field is reached from the window's own tree, as a screen
        // reader walks it.
        std::vector<QAccessibleInterface*> all;
        Collect(QAccessible::queryAccessibleInterface(&window), all);
        for (int i = 0; i < 4; ++i) {
            QVERIFY(std::find(all.begin(), all.end(),
                              QAccessible::queryAccessibleInterface(edit->octet(i))) != all.end());
        }

        // A field typed into changes the value.
        edit->octet(3)->selectAll();
        QTest::keyClicks(edit->octet(3), QStringLiteral("7"));
        QCOMPARE(a->text(QAccessible::Value), QStringLiteral("192.168.0.7"));
    }

  private:
    std::unique_ptr<testing::WindowRig> rig_;
};

QTEST_MAIN(AccessibilityWalkTest)
#include "accessibility_walk_test.moc"
