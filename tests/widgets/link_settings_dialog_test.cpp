// The communication settings dialog: what it opens with, the address and
// port checks on the network link, the bytes it saves, a save that fails,
// choices made by any means (accessibility actions too), and Cancel leaving
// everything alone.
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include "link/serial_devices.h"
#include "widgets/app_profile.h"
#include "widgets/control_names.h"
#include "widgets/link_settings_dialog.h"
#include "widgets/panel_controller.h"
#include "widgets/user_prompts.h"
#include "widgets/window_texts.h"

using namespace korvane;

namespace {

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray b;
    for (int v : values)
        b.append(static_cast<char>(v));
    return b;
}

}  // namespace

class LinkSettingsDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        QVERIFY(dir_.isValid());
        AppProfile::UseFileForTesting(dir_.filePath(QStringLiteral("profile.ini")));
        QFile::remove(ParaPath());
        controller_ =
            std::make_unique<PanelController>(sink_, SettingsFile(ParaPath().toStdString()));
        controller_->LoadSettings();  // writes the defaults
        prompts_ = std::make_unique<ScriptedPrompts>();
    }
    void cleanup() {
        controller_.reset();
        AppProfile::UseFileForTesting(QString());
    }

    void opensWithTheFileAndItsLinkMode() {
        CommSettings s = controller_->settings();
        s.link_mode = 2;
        s.com = 4;
        s.address = {10, 1, 2, 3};
        QVERIFY(controller_->SaveSettings(s));
        LinkSettingsDialog dlg(*controller_, *prompts_);
        QVERIFY(FindControl<QRadioButton>(&dlg, link_settings_names::kSerialRadio)->isChecked());
        QVERIFY(!Ip(dlg)->isEnabled());
        QVERIFY(!Port(dlg)->isEnabled());
        QVERIFY(Com(dlg)->isEnabled());
        QCOMPARE(Com(dlg)->currentText(), QStringLiteral("COM4"));
        QCOMPARE(Ip(dlg)->text(), QStringLiteral("10.1.2.3"));
        QCOMPARE(Com(dlg)->count(), 9);
        // The device COM4 opens here, as korvane-cli ports names it.
        const auto device = ComPortDevice(4, ListSerialDevices());
        QCOMPARE(FindControl<QLabel>(&dlg, link_settings_names::kComDeviceLabel)->text(),
                 device ? QString::fromStdString(*device) : QString::fromUtf8("本机无此串口"));
    }

    void networkPortIsChecked_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("saved");
        QTest::newRow("65536") << "65536" << false << 0;
        QTest::newRow("-1") << "-1" << false << 0;
        QTest::newRow("80x") << "80x" << false << 0;
        QTest::newRow("bare sign") << "-" << false << 0;
        QTest::newRow("huge") << "99999999999999999999" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("0") << "0" << false << 0;
        QTest::newRow("blanks only") << "  " << false << 0;
        QTest::newRow("65535") << "65535" << true << 65535;
        QTest::newRow("1") << "1" << true << 1;
        QTest::newRow("blanks and sign") << "  +80" << true << 80;
    }
    void networkPortIsChecked() {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        QFETCH(int, saved);
        const QByteArray before = FileBytes();
        const CommSettings in_use = controller_->settings();
        LinkSettingsDialog dlg(*controller_, *prompts_);
        dlg.show();
        FindControl<QRadioButton>(&dlg, link_settings_names::kNetworkRadio)->click();
        Port(dlg)->setText(text);
        FindControl<QPushButton>(&dlg, link_settings_names::kOkButton)->click();
        if (accepted) {
            QVERIFY(prompts_->shown().empty());
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
            QCOMPARE(FileBytes().mid(8, 2), Bytes({saved & 0xFF, saved >> 8}));
            QCOMPARE(int(controller_->settings().port), saved);
        } else {
            QCOMPARE(prompts_->shown().size(), size_t(1));
            QCOMPARE(prompts_->shown()[0].kind, MessageKind::Error);
            QCOMPARE(prompts_->shown()[0].text, QString::fromUtf8("无效的网络端口号!"));
            QVERIFY(dlg.isVisible());
            QCOMPARE(Port(dlg)->text(), text);  // the user's input stays
            QCOMPARE(FileBytes(), before);
            QVERIFY(controller_->settings() == in_use);
        }
    }

    void networkAddressMustBeWhole_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("empty") << "..." << false;
        QTest::newRow("one field empty") << "10..0.1" << false;
        QTest::newRow("last field empty") << "192.168.0." << false;
        QTest::newRow("whole") << "192.168.0.100" << true;
    }
    void networkAddressMustBeWhole() {
        QFETCH(QString, address);
        QFETCH(bool, accepted);
        const QByteArray before = FileBytes();
        const CommSettings in_use = controller_->settings();
        LinkSettingsDialog dlg(*controller_, *prompts_);
        dlg.show();
        Ip(dlg)->setText(address);
        Port(dlg)->setText(QStringLiteral("4000"));
        FindControl<QPushButton>(&dlg, link_settings_names::kOkButton)->click();
        if (accepted) {
            QVERIFY(prompts_->shown().empty());
            QCOMPARE(FileBytes().mid(4, 4), Bytes({192, 168, 0, 100}));
            return;
        }
        QCOMPARE(prompts_->texts(), QStringList{WindowText(WindowTextId::AddressMissing)});
        QVERIFY(dlg.isVisible());
        QCOMPARE(Ip(dlg)->text(), address);
        QCOMPARE(FileBytes(), before);
        QVERIFY(controller_->settings() == in_use);
    }

    // Para.dat cannot be written, even by root: its folder is a regular file.
    void aSaveThatFailsSaysSoAndKeepsWhatWasTyped() {
        const QString blocker = dir_.filePath(QStringLiteral("blocker"));
        QFile plain(blocker);
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        const QString para = QDir(blocker).filePath(QStringLiteral("Para.dat"));
        PanelController controller(sink_, SettingsFile(para.toStdString()));
        controller.LoadSettings();
        const CommSettings in_use = controller.settings();
        const LinkDisplayTexts shown = controller.LinkDisplay();

        LinkSettingsDialog dlg(controller, *prompts_);
        dlg.show();
        FindControl<QRadioButton>(&dlg, link_settings_names::kSerialRadio)->click();
        Com(dlg)->setCurrentText(QStringLiteral("COM7"));
        FindControl<QPushButton>(&dlg, link_settings_names::kOkButton)->click();

        QCOMPARE(prompts_->shown().size(), size_t(1));
        QCOMPARE(prompts_->shown()[0].kind, MessageKind::Error);
        const QString text = prompts_->shown()[0].text;
        QVERIFY2(text.contains(QDir::toNativeSeparators(para)), qPrintable(text));
        // The system's reason, as the system words it.
        QVERIFY2(text.contains(QString::fromStdString(
                     std::make_error_code(std::errc::not_a_directory).message())),
                 qPrintable(text));
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QVERIFY(FindControl<QRadioButton>(&dlg, link_settings_names::kSerialRadio)->isChecked());
        QCOMPARE(Com(dlg)->currentText(), QStringLiteral("COM7"));
        // What is in use, and so on the main window, is what was saved.
        QVERIFY(controller.settings() == in_use);
        QVERIFY(controller.LinkDisplay() == shown);
    }

    // A program with no settings file of its own uses the settings for the
    // run, and says that they are not kept.
    void withoutAFileTheSettingsHoldForTheRun() {
        PanelController controller(sink_, SettingsFile(std::nullopt));
        LinkSettingsDialog dlg(controller, *prompts_);
        dlg.show();
        FindControl<QRadioButton>(&dlg, link_settings_names::kUsbRadio)->click();
        FindControl<QPushButton>(&dlg, link_settings_names::kOkButton)->click();
        QCOMPARE(prompts_->texts(), QStringList{WindowText(WindowTextId::NoSettingsFile)});
        QCOMPARE(prompts_->shown()[0].kind, MessageKind::Warning);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(int(controller.settings().link_mode), 3);
    }

    // Opening over a file that cannot serve shows the settings in use, not
    // the file's garbage laid over them.
    void opensWithTheSettingsInUseOverABadFile_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("5 bytes") << Bytes({1, 0, 0, 0, 127});
        QTest::newRow("link mode 9") << Bytes(
            {9, 0, 0, 0, 10, 0, 0, 1, 0x50, 0, 1, 0, 0, 0xC2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    }
    void opensWithTheSettingsInUseOverABadFile() {
        QFETCH(QByteArray, bytes);
        QFile f(ParaPath());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        f.close();
        LinkSettingsDialog dlg(*controller_, *prompts_);
        QVERIFY(dlg.edited() == controller_->settings());
        QVERIFY(FindControl<QRadioButton>(&dlg, link_settings_names::kNetworkRadio)->isChecked());
        QCOMPARE(Ip(dlg)->text(), QStringLiteral("255.255.255.255"));
        QCOMPARE(Port(dlg)->text(), QStringLiteral("21845"));
    }

    // A radio button chosen without a click (keyboard, screen reader) does
    // what the click does.
    void accessibleActionsChooseTheLink_data() {
        QTest::addColumn<QString>("action");
        QTest::newRow("toggle") << QAccessibleActionInterface::toggleAction();
        QTest::newRow("press") << QAccessibleActionInterface::pressAction();
    }
    void accessibleActionsChooseTheLink() {
        QFETCH(QString, action);
        LinkSettingsDialog dlg(*controller_, *prompts_);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        auto* serial = FindControl<QRadioButton>(&dlg, link_settings_names::kSerialRadio);
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(serial);
        QVERIFY(a && a->actionInterface());
        a->actionInterface()->doAction(action);
        QTRY_VERIFY(serial->isChecked());
        QVERIFY(Com(dlg)->isEnabled());
        QVERIFY(!Ip(dlg)->isEnabled());
        QVERIFY(!Port(dlg)->isEnabled());
        Com(dlg)->setCurrentText(QStringLiteral("COM5"));
        FindControl<QPushButton>(&dlg, link_settings_names::kOkButton)->click();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(int(controller_->settings().link_mode), 2);
        QCOMPARE(FileBytes().mid(0, 4), Bytes({2, 0, 0, 0}));
        QCOMPARE(int(controller_->settings().com), 5);
    }

    void serialLinkSavesTheWholeRecord() {
        LinkSettingsDialog dlg(*controller_, *prompts_);
        dlg.show();
        FindControl<QRadioButton>(&dlg, link_settings_names::kSerialRadio)->click();
        Com(dlg)->setCurrentText(QStringLiteral("COM12"));
        Ip(dlg)->setText(QStringLiteral("192.168.0.100"));
        Port(dlg)->setText(QStringLiteral("abc"));  // not checked on the serial link: 0
        FindControl<QPushButton>(&dlg, link_settings_names::kOkButton)->click();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QVERIFY(prompts_->shown().empty());
        QCOMPARE(FileBytes(),
                 Bytes({0x02, 0,    0,    0,    0xC0, 0xA8, 0x00, 0x64, 0, 0, 0x0C, 0x00,
                        0x00, 0xC2, 0x01, 0x00, 0,    0,    0,    0,    0, 0, 0,    0}));
        QCOMPARE(int(controller_->settings().com), 12);
        QCOMPARE(int(controller_->settings().link_mode), 2);
    }

    void comTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("com");
        QTest::newRow("COM12") << "COM12" << 12;
        QTest::newRow("lower case") << "com3" << 3;
        QTest::newRow("bare number") << "7" << 7;
        QTest::newRow("no digits") << "COM" << 0;
    }
    void comTexts() {
        QFETCH(QString, text);
        QFETCH(int, com);
        QCOMPARE(int(ParseComText(text)), com);
    }

    void ipControlTakesTypedAddresses_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("text");
        QTest::newRow("dots move on") << "10.1.2.3"
                                      << "10.1.2.3";
        QTest::newRow("three digits move on") << "192168001100"
                                              << "192.168.001.100";
        QTest::newRow("above 255") << "300.1.2.3"
                                   << "255.1.2.3";
        QTest::newRow("letters refused") << "1a.2.3.4"
                                         << "1.2.3.4";
    }
    void ipControlTakesTypedAddresses() {
        QFETCH(QString, typed);
        QFETCH(QString, text);
        IpAddressEdit ip;
        ip.setText(QStringLiteral("..."));
        ip.show();
        QVERIFY(QTest::qWaitForWindowExposed(&ip));
        ip.octet(0)->setFocus();
        for (QChar c : typed)
            QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
        QCOMPARE(ip.text(), text);
    }

    void usbDisablesEveryParameter() {
        LinkSettingsDialog dlg(*controller_, *prompts_);
        FindControl<QRadioButton>(&dlg, link_settings_names::kUsbRadio)->click();
        QVERIFY(!Ip(dlg)->isEnabled());
        QVERIFY(!Port(dlg)->isEnabled());
        QVERIFY(!Com(dlg)->isEnabled());
        QCOMPARE(int(dlg.edited().link_mode), 3);
    }

    void cancelKeepsMemoryAndFile() {
        const QByteArray before = FileBytes();
        const CommSettings in_use = controller_->settings();
        LinkSettingsDialog dlg(*controller_, *prompts_);
        dlg.show();
        FindControl<QRadioButton>(&dlg, link_settings_names::kSerialRadio)->click();
        Port(dlg)->setText(QStringLiteral("80"));
        QTest::keyClick(&dlg, Qt::Key_Escape);
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QVERIFY(!dlg.isVisible());
        QCOMPARE(FileBytes(), before);
        QVERIFY(controller_->settings() == in_use);
        QCOMPARE(int(controller_->settings().link_mode), 1);
    }

    void enterIsOk() {
        LinkSettingsDialog dlg(*controller_, *prompts_);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        Port(dlg)->setFocus();
        Port(dlg)->setText(QStringLiteral("4000"));
        QTest::keyClick(Port(dlg), Qt::Key_Return);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(int(controller_->settings().port), 4000);
    }

  private:
    QString ParaPath() const { return dir_.filePath(QStringLiteral("Para.dat")); }
    QByteArray FileBytes() const {
        QFile f(ParaPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static IpAddressEdit* Ip(QWidget& d) {
        return FindControl<IpAddressEdit>(&d, link_settings_names::kIpEdit);
    }
    static QLineEdit* Port(QWidget& d) {
        return FindControl<QLineEdit>(&d, link_settings_names::kPortEdit);
    }
    static QComboBox* Com(QWidget& d) {
        return FindControl<QComboBox>(&d, link_settings_names::kComChoice);
    }

    QTemporaryDir dir_;
    RecordingSink sink_;
    std::unique_ptr<PanelController> controller_;
    std::unique_ptr<ScriptedPrompts> prompts_;
};

QTEST_MAIN(LinkSettingsDialogTest)
#include "link_settings_dialog_test.moc"
