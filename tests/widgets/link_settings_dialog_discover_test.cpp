// "查找面板" in the communication settings dialog: simulated panels on
// loopback addresses (a range given through the dialog's seam, so that
// nothing is broadcast), the list, and picking a panel.
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <memory>

#include "sim/panel.h"
#include "sim/udp_server.h"
#include "widgets/app_profile.h"
#include "widgets/control_names.h"
#include "widgets/ip_address_edit.h"
#include "widgets/link_settings_dialog.h"
#include "widgets/panel_controller.h"
#include "widgets/user_prompts.h"

using namespace korvane;

namespace {

// 127.0.3.`last`: loopback addresses of these tests' own, so that a sweep
// never meets a panel of another test that happens to share its port.
constexpr uint32_t Loop(uint8_t last) {
    return 0x7F000300u | last;
}

struct Served {
    sim::Panel panel;
    sim::UdpServer server{panel};
};

}  // namespace

class LinkSettingsDialogDiscoverTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        QVERIFY(dir_.isValid());
        AppProfile::UseFileForTesting(dir_.filePath(QStringLiteral("profile.ini")));
        QFile::remove(dir_.filePath(QStringLiteral("Para.dat")));
        controller_ = std::make_unique<PanelController>(
            sink_, SettingsFile(dir_.filePath(QStringLiteral("Para.dat")).toStdString()));
        controller_->LoadSettings();
        CommSettings s = controller_->settings();
        s.link_mode = 1;
        QVERIFY(controller_->SaveSettings(s));
        prompts_ = std::make_unique<ScriptedPrompts>();
        panels_.clear();
        port_ = 0;
    }
    void cleanup() {
        controller_.reset();
        panels_.clear();
        AppProfile::UseFileForTesting(QString());
    }

    void pickingAFoundPanelFillsAddressAndPort() {
        Add(2);
        Add(3).SetJumper(2);
        Add(6).InjectFault({sim::FaultKind::Drop, 0x03, 1 << 30});  // silent
        LinkSettingsDialog dlg(*controller_, *prompts_);
        dlg.SetDiscoverTarget(Range(1, 8, 300));
        dlg.show();
        Port(dlg)->setText(QString::number(port_));
        const QString ip_before = Ip(dlg)->text();
        Find(dlg)->click();
        // The search runs off the user-interface thread, with its bar shown.
        QVERIFY(dlg.discovering());
        QVERIFY(!Find(dlg)->isEnabled());
        QVERIFY(Bar(dlg)->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.discovering(), 10000);
        QVERIFY(Find(dlg)->isEnabled());
        QVERIFY(!Bar(dlg)->isVisible());

        QTreeWidget* list = List(dlg);
        QCOMPARE(list->topLevelItemCount(), 2);
        const QString port = QString::number(port_);
        QCOMPARE(Row(list, 0), QStringList({"127.0.3.2", port, "1"}));
        QCOMPARE(Row(list, 1), QStringList({"127.0.3.3", port, "2"}));
        QCOMPARE(Status(dlg), QString::fromUtf8("找到 2 个面板，选中一个即填入其地址和端口。"));
        QCOMPARE(Ip(dlg)->text(), ip_before);  // nothing is filled in until one is picked

        Port(dlg)->setText(QStringLiteral("1"));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->topLevelItem(1)).center());
        QCOMPARE(Ip(dlg)->text(), QStringLiteral("127.0.3.3"));
        QCOMPARE(Port(dlg)->text(), port);
        FindControl<QPushButton>(&dlg, link_settings_names::kOkButton)->click();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(controller_->settings().address, (std::array<uint8_t, 4>{127, 0, 3, 3}));
        QCOMPARE(int(controller_->settings().port), int(port_));
    }

    void theWindowStaysLiveWhileItListens() {
        Add(2);
        LinkSettingsDialog dlg(*controller_, *prompts_);
        dlg.SetDiscoverTarget(Range(1, 3, 1500));
        dlg.show();
        Port(dlg)->setText(QString::number(port_));
        QElapsedTimer clock;
        clock.start();
        Find(dlg)->click();
        QVERIFY(clock.elapsed() < 200);  // the click did not wait for the answers
        // The bar moves while the dialog listens.
        QTRY_VERIFY_WITH_TIMEOUT(Bar(dlg)->value() > 10, 3000);
        QVERIFY(dlg.discovering());
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.discovering(), 10000);
        QCOMPARE(List(dlg)->topLevelItemCount(), 1);
    }

    void closingDuringASearchEndsItSoon() {
        Add(2);
        auto dlg = std::make_unique<LinkSettingsDialog>(*controller_, *prompts_);
        dlg->SetDiscoverTarget(Range(1, 3, 20000));
        dlg->show();
        Port(*dlg)->setText(QString::number(port_));
        Find(*dlg)->click();
        QTest::qWait(100);
        QVERIFY(dlg->discovering());
        QElapsedTimer clock;
        clock.start();
        dlg.reset();
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    }

    void noneFoundSaysWhatToCheck() {
        Add(2).InjectFault({sim::FaultKind::Drop, 0x03, 1 << 30});
        LinkSettingsDialog dlg(*controller_, *prompts_);
        dlg.SetDiscoverTarget(Range(2, 2, 200));
        dlg.show();
        Port(dlg)->setText(QString::number(port_));
        const QString ip_before = Ip(dlg)->text();
        Find(dlg)->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.discovering(), 10000);
        QCOMPARE(List(dlg)->topLevelItemCount(), 0);
        QVERIFY2(Status(dlg).startsWith(QString::fromUtf8("未找到面板")), qPrintable(Status(dlg)));
        QCOMPARE(Ip(dlg)->text(), ip_before);
    }

    void onlyTheNetworkLinkFindsAndTheListHasItsLabel() {
        LinkSettingsDialog dlg(*controller_, *prompts_);
        QVERIFY(Find(dlg)->isEnabled());
        FindControl<QRadioButton>(&dlg, link_settings_names::kSerialRadio)->click();
        QVERIFY(!Find(dlg)->isEnabled());
        QVERIFY(!List(dlg)->isEnabled());
        FindControl<QRadioButton>(&dlg, link_settings_names::kNetworkRadio)->click();
        QVERIFY(Find(dlg)->isEnabled());
        QCOMPARE(Find(dlg)->text(), QString::fromUtf8("查找面板"));
        QVERIFY(!Find(dlg)->autoDefault());  // Enter stays OK
        bool labelled = false;
        for (QLabel* label : dlg.findChildren<QLabel*>())
            labelled = labelled || label->buddy() == List(dlg);
        QVERIFY(labelled);
        QVERIFY(!Bar(dlg)->accessibleName().isEmpty());
    }

  private:
    sim::Panel& Add(uint8_t last) {
        auto& p = panels_.emplace_back(std::make_unique<Served>());
        p->server.SetAddress(Loop(last));
        std::string error;
        if (!p->server.Start(port_, &error))
            qFatal("server on 127.0.3.%d: %s", last, error.c_str());
        port_ = p->server.port();
        return p->panel;
    }
    static DiscoverOptions Range(uint8_t first, uint8_t last, uint32_t wait_ms) {
        DiscoverOptions o;
        o.target = DiscoverOptions::Target::Range;
        o.range = {Loop(first), Loop(last)};
        o.wait_ms = wait_ms;
        return o;
    }
    static QStringList Row(QTreeWidget* list, int row) {
        QStringList texts;
        for (int c = 0; c < 3; ++c)
            texts << list->topLevelItem(row)->text(c);
        return texts;
    }
    static IpAddressEdit* Ip(QWidget& d) {
        return FindControl<IpAddressEdit>(&d, link_settings_names::kIpEdit);
    }
    static QLineEdit* Port(QWidget& d) {
        return FindControl<QLineEdit>(&d, link_settings_names::kPortEdit);
    }
    static QPushButton* Find(QWidget& d) {
        return FindControl<QPushButton>(&d, link_settings_names::kFindPanelsButton);
    }
    static QTreeWidget* List(QWidget& d) {
        return FindControl<QTreeWidget>(&d, link_settings_names::kFoundPanelsList);
    }
    static QProgressBar* Bar(QWidget& d) {
        return FindControl<QProgressBar>(&d, link_settings_names::kFindProgressBar);
    }
    static QString Status(QWidget& d) {
        return FindControl<QLabel>(&d, link_settings_names::kFindStatusLabel)->text();
    }

    QTemporaryDir dir_;
    RecordingSink sink_;
    std::unique_ptr<PanelController> controller_;
    std::unique_ptr<ScriptedPrompts> prompts_;
    std::vector<std::unique_ptr<Served>> panels_;
    uint16_t port_ = 0;
};

QTEST_MAIN(LinkSettingsDialogDiscoverTest)
#include "link_settings_dialog_discover_test.moc"
