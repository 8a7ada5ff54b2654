// Every window's controls carry descriptive object names: the main window
// with its maintenance and batch pages, each dialog and the progress popup are walked
// child by child, and each control must have a lowerCamelCase name of its
// own within its window.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <map>

#include "link/message_sink.h"
#include "widgets/about_dialog.h"
#include "widgets/app_profile.h"
#include "widgets/batch_page.h"
#include "widgets/ip_address_edit.h"
#include "widgets/link_settings_dialog.h"
#include "widgets/logo_picker_dialog.h"
#include "widgets/logo_preview.h"
#include "widgets/main_window.h"
#include "widgets/maintenance_page_factory.h"
#include "widgets/panel_controller.h"
#include "widgets/percent_bar.h"
#include "widgets/progress_popup.h"
#include "widgets/user_prompts.h"
#include "widgets/window_rig.h"

using namespace korvane;

namespace {

// What the user reads or works: a label that captions another control is
// not one of them, any other label shows a value.
bool IsControl(const QWidget* w) {
    if (const auto* label = qobject_cast<const QLabel*>(w))
        return label->buddy() == nullptr;
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QLineEdit*>(w) ||
           qobject_cast<const QComboBox*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
           qobject_cast<const QAbstractItemView*>(w) || qobject_cast<const QProgressBar*>(w) ||
           qobject_cast<const QAbstractSlider*>(w) || qobject_cast<const IpAddressEdit*>(w) ||
           qobject_cast<const PercentBar*>(w) || qobject_cast<const LogoPreview*>(w);
}

struct Walk {
    QStringList faults;
    std::map<QString, QString> seen;  // name -> the class first seen with it

    void Name(const QObject* o, bool required) {
        const QString name = o->objectName();
        const QString what = QString::fromLatin1(o->metaObject()->className());
        if (name.isEmpty()) {
            if (required) {
                const QObject* parent = o->parent();
                faults << what + QStringLiteral(" without a name") +
                              (parent ? QStringLiteral(" in ") + parent->objectName() +
                                            QLatin1Char(' ') +
                                            QString::fromLatin1(parent->metaObject()->className())
                                      : QString());
            }
            return;
        }
        static const QRegularExpression camel(QStringLiteral("^[a-z][A-Za-z0-9]*$"));
        if (!camel.match(name).hasMatch())
            faults << what + QStringLiteral(" named ") + name;
        if (!required)
            return;
        const auto [it, fresh] = seen.emplace(name, what);
        if (!fresh)
            faults << name + QStringLiteral(" twice: ") + it->second + QStringLiteral(", ") + what;
    }

    void Actions(const QWidget* w) {
        for (const QAction* a : w->actions()) {
            // A menu's own action stands for the button that opens it.
            if (!a->isSeparator() && !a->menu())
                Name(a, true);
        }
    }

    // A control's own parts (an edit's octets, a list's scroll bars) are
    // Qt's or the control's business, so a control is not entered.
    void Visit(const QWidget* w) {
        for (const QWidget* child : w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child->isWindow())
                continue;  // a dialog of its own is walked on its own
            if (IsControl(child)) {
                Name(child, true);
                Actions(child);
                if (const auto* button = qobject_cast<const QPushButton*>(child);
                    button && button->menu())
                    Actions(button->menu());
            } else {
                // Group boxes and frames need no name, but any they have is
                // of the same kind.
                Name(child, false);
                Visit(child);
            }
        }
    }
};

QStringList Faults(const QWidget& window) {
    Walk walk;
    walk.Name(&window, true);
    walk.Actions(&window);
    walk.Visit(&window);
    if (walk.seen.size() < 2)
        walk.faults << QStringLiteral("no controls found");
    return walk.faults;
}

}  // namespace

class ControlNamesTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        rig_ = std::make_unique<testing::WindowRig>();
        QVERIFY(rig_->IsValid());
    }
    void cleanup() { rig_.reset(); }

    void everyWindowNamesEachControlOnce() {
        MainWindow window(rig_->controller, rig_->prompts);
        QWidget* page = CreateMaintenancePage(rig_->controller, rig_->prompts, &window);
        window.AddPage(QStringLiteral("page"), QIcon(), page);
        auto* batch = new BatchPage(rig_->controller, rig_->prompts, &window);
        window.AddPage(QStringLiteral("batch"), QIcon(), batch);
        batch->AddEntries(QStringLiteral("127.0.0.1 127.0.0.2"));
        LinkSettingsDialog settings(rig_->controller, rig_->prompts);
        LogoPickerDialog picker(rig_->sink, rig_->prompts, std::nullopt);
        AboutDialog about;
        ProgressPopup popup;
        // The pages alone and inside the window they share their names with.
        for (const QWidget* w : std::initializer_list<const QWidget*>{
                 &window, page, batch, &settings, &picker, &about, &popup}) {
            const QStringList faults = Faults(*w);
            QVERIFY2(faults.isEmpty(), qPrintable(w->objectName() + QStringLiteral(": ") +
                                                  faults.join(QStringLiteral("; "))));
        }
    }

    // The walk itself: it must see an unnamed control, an old numbered name,
    // a clash and a bad name on a menu command.
    void theWalkCatchesEachFault() {
        QWidget window;
        window.setObjectName(QStringLiteral("testWindow"));
        auto* ok = new QPushButton(&window);
        ok->setObjectName(QStringLiteral("okButton"));
        QCOMPARE(Faults(window), QStringList());

        auto* value = new QLabel(&window);
        QCOMPARE(Faults(window).size(), 1);
        value->setObjectName(QStringLiteral("IDC_1007"));
        QCOMPARE(Faults(window).size(), 1);
        value->setObjectName(QStringLiteral("okButton"));
        QCOMPARE(Faults(window).size(), 1);
        value->setObjectName(QStringLiteral("valueLabel"));
        auto* caption = new QLabel(&window);
        caption->setBuddy(ok);  // a caption needs no name
        QCOMPARE(Faults(window), QStringList());

        auto* more = new QPushButton(&window);
        more->setObjectName(QStringLiteral("moreButton"));
        auto* menu = new QMenu(more);
        more->setMenu(menu);
        menu->addAction(QStringLiteral("x"))->setObjectName(QStringLiteral("IDM_1033"));
        QCOMPARE(Faults(window).size(), 1);
    }

  private:
    std::unique_ptr<testing::WindowRig> rig_;
};

QTEST_MAIN(ControlNamesTest)
#include "control_names_test.moc"
