// The maintenance page against the simulated panel: every button's
// operation, the enabling while a run streams, cancel and closing mid-run,
// the logo button, and the page's opening state.
#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <fstream>
#include <iterator>

#include "link/texts.h"
#include "logo/logo_place.h"
#include "page_fixture.h"
#include "protocol/command_codes.h"
#include "temp_profile.h"
#include "transfer/firmware_run.h"
#include "widgets/control_names.h"
#include "widgets/ip_address_edit.h"
#include "widgets/link_settings_dialog.h"
#include "widgets/logo_picker_dialog.h"
#include "widgets/logo_preview.h"
#include "widgets/main_window.h"
#include "widgets/maintenance_page_factory.h"
#include "widgets/percent_bar.h"
#include "widgets/window_language.h"
#include "widgets/window_texts.h"

using namespace korvane;
using korvane::testing::PageRig;
using korvane::testing::RunAndWait;
namespace page_names = korvane::maintenance_page_names;

namespace {

std::vector<uint8_t> Bytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The panel address in the saved panel network record; nothing when the
// record is missing or not its 24 bytes.
std::vector<int> SavedPanelAddress(const QString& folder) {
    const auto record = Bytes(std::filesystem::path(folder.toStdString()) / "PanelNet.dat");
    if (record.size() != 24)
        return {};
    return {record.begin() + 4, record.begin() + 8};
}

QString WriteImage(const QString& folder, const QString& name, size_t size) {
    const QString path = folder + QLatin1Char('/') + name;
    std::ofstream out(path.toStdString(), std::ios::binary);
    for (size_t i = 0; i < size; ++i)
        out.put(static_cast<char>((i * 7 + i / 251) & 0xFF));
    return path;
}

template <class T>
T* Control(QWidget* page, const char* name) {
    T* c = FindControl<T>(page, name);
    if (!c)
        qFatal("no control %s", name);
    return c;
}

QPushButton* Button(QWidget* page, const char* name) {
    return Control<QPushButton>(page, name);
}

QAction* MenuCommand(QWidget* page, const char* name) {
    return page->findChild<QAction*>(QString::fromLatin1(name));
}

// The buttons that start an operation.
const char* const kStarters[] = {page_names::kGetAddressButton, page_names::kSetAddressButton,
                                 page_names::kGetClockButton,   page_names::kSetClockButton,
                                 page_names::kBootLoaderButton, page_names::kKernelButton,
                                 page_names::kLogoButton,       page_names::kEraseButton};

bool AllStartersEnabled(QWidget* page, bool enabled) {
    for (const char* name : kStarters) {
        if (Button(page, name)->isEnabled() != enabled)
            return false;
    }
    return Button(page, page_names::kMoreButton)->isEnabled() == enabled;
}

// The page asked once per entry of `reasons`, each time with `concern`, a
// reason of the checks and the closing question.
bool AskedAbout(const ScriptedPrompts& prompts, const char* concern,
                const std::vector<const char*>& reasons) {
    const QStringList asked = prompts.questions();
    if (asked.size() != qsizetype(reasons.size()))
        return false;
    for (size_t i = 0; i < reasons.size(); ++i) {
        const QString& q = asked[qsizetype(i)];
        if (!q.startsWith(QString::fromUtf8(concern) + QLatin1Char('\n')) ||
            !q.contains(QString::fromUtf8(reasons[i])) ||
            !q.endsWith(QLatin1Char('\n') + QString::fromUtf8(kSendAnyway))) {
            qWarning("question %zu: %s", i, qPrintable(q));
            return false;
        }
    }
    return true;
}

// The Cancel the user has in front of them during a run: a window kept
// on top shows its own, otherwise it is the page's.
QAbstractButton* CancelInFront(QWidget* page) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top == page->window() || !top->isVisible() ||
            !(top->windowFlags() & Qt::WindowStaysOnTopHint))
            continue;
        for (QAbstractButton* b : top->findChildren<QAbstractButton*>()) {
            const QString caption = b->text().trimmed();
            if (b->isVisible() &&
                (caption == QStringLiteral("Cancel") || caption == QString::fromUtf8("取消")))
                return b;
        }
    }
    return Button(page, page_names::kCancelButton);
}

// A control as a failure names it: an address's octet field by its address.
QString Named(const QWidget* w) {
    const QString own =
        w->objectName().isEmpty() && w->parentWidget()
            ? w->parentWidget()->objectName() + QStringLiteral("/") + w->accessibleName()
            : w->objectName();
    return own + QLatin1Char(' ') + QString::fromLatin1(w->metaObject()->className());
}

std::vector<int> Octets(const uint8_t* o) {
    return {o[0], o[1], o[2], o[3]};
}

// Clicks the boot-loader button (its file queued) and waits: the run says
// "更新完毕!" alone and the panel's flash from 0 holds the file.
bool BootLoaderRunLands(PageRig& rig, const QString& image) {
    if (!RunAndWait(*rig.page, [&] {
            QTest::mouseClick(Button(rig.page.get(), page_names::kBootLoaderButton),
                              Qt::LeftButton);
        }))
        return false;
    const auto file = Bytes(image.toStdString());
    return rig.sink.Texts() == std::vector<std::string>{std::string(Text(TextId::UpdateDone))} &&
           rig.panel.ReadFlash(0, uint32_t(file.size())) == file;
}

// Slows each data packet's acknowledgement so that a run lasts long enough
// to be watched and cancelled.
void SlowData(sim::Panel& panel, int packets, int delay_ms) {
    panel.InjectFault(sim::FaultRule(sim::FaultKind::Delay, cmd::kFlashData, packets, delay_ms));
}

// Runs the real file dialog with `filter` and `suffix` in `folder`, types
// `name` and presses Open: the file it returns, or "" when the dialog would
// not open that name.
QString ChooseInARealDialog(const QString& folder, const QString& filter, const QString& suffix,
                            const QString& name) {
    QtUserPrompts prompts;
    QTimer::singleShot(200, [name] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        // Typed into the name field, as the user does, once the folder is listed.
        auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(field);
        QTest::qWait(300);
        field->setText(name);
        // Open checks the name as the button does. A dialog that refused it
        // is still open, perhaps under a box that says why: close them all.
        auto* closer = new QTimer(qApp);
        QObject::connect(closer, &QTimer::timeout, closer, [closer] {
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
            else
                closer->deleteLater();
        });
        closer->start(300);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    const auto chosen = prompts.ChooseOpenFile(nullptr, folder, filter, suffix);
    return chosen ? QFileInfo(*chosen).absoluteFilePath() : QString();
}

}  // namespace

class MaintenancePageTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> temp_;
    std::unique_ptr<korvane::testing::TempProfile> profile_;
    QString Folder() const { return temp_->path(); }

  private slots:
    void init() {
        temp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(temp_->isValid());
        profile_ = std::make_unique<korvane::testing::TempProfile>();
    }
    void cleanup() { profile_.reset(); }

    void opensWithTheTemplatesControls() {
        PageRig rig(Folder());
        QWidget* page = rig.page.get();
        rig.page->show();
        QCOMPARE(page->objectName(), QString::fromLatin1(page_names::kPage));
        {
            // Made for the main window's page area: a child, never a window of its own.
            QWidget host;
            MaintenancePage child(rig.controller, rig.prompts, &host);
            QVERIFY(!child.isWindow());
        }
        const struct {
            const char* name;
            const char* caption;
        } captions[] = {{page_names::kGetAddressButton, "获取"},
                        {page_names::kSetAddressButton, "更新"},
                        {page_names::kGetClockButton, "获取"},
                        {page_names::kSetClockButton, "更新"},
                        {page_names::kBootLoaderButton, "更新BootLoader"},
                        {page_names::kKernelButton, "更新内核"},
                        {page_names::kLogoButton, "更新LOGO"},
                        {page_names::kEraseButton, "擦除Flash"},
                        {page_names::kCancelButton, "取消"},
                        {page_names::kChangeMacButton, "更改MAC地址"}};
        for (const auto& c : captions)
            QCOMPARE(Button(page, c.name)->text(), QString::fromUtf8(c.caption));
        QCOMPARE(Control<QGroupBox>(page, page_names::kAddressGroup)->title(),
                 QString::fromUtf8("HMI IP/PORT 操作"));
        QCOMPARE(Control<QGroupBox>(page, page_names::kFlashGroup)->title(),
                 QString::fromUtf8("HMI Flash 操作"));
        QVERIFY(!Control<QGroupBox>(page, page_names::kMacGroup)->isVisible());
        QVERIFY(!Button(page, page_names::kChangeMacButton)->isVisible());
        QCOMPARE(Control<IpAddressEdit>(page, page_names::kNewIpEdit)->text(),
                 QStringLiteral("192.168.0.100"));
        QCOMPARE(Control<QLineEdit>(page, page_names::kNewPortEdit)->text(),
                 QStringLiteral("21845"));
        QCOMPARE(Control<IpAddressEdit>(page, page_names::kGatewayEdit)->text(),
                 QStringLiteral("192.168.0.1"));
        QCOMPARE(Control<IpAddressEdit>(page, page_names::kMaskEdit)->text(),
                 QStringLiteral("255.255.255.0"));
        QCOMPARE(Control<IpAddressEdit>(page, page_names::kPanelIpEdit)->text(),
                 QStringLiteral("..."));
        QVERIFY(!Control<IpAddressEdit>(page, page_names::kPanelIpEdit)->isEnabled());
        QVERIFY(!Control<QLineEdit>(page, page_names::kPanelPortEdit)->isEnabled());
        QVERIFY(!Control<QLineEdit>(page, page_names::kPanelClockEdit)->isEnabled());
        QVERIFY(Control<PercentBar>(page, page_names::kRunProgressBar));
        QCOMPARE(Control<QDateEdit>(page, page_names::kNewDateEdit)->date(), QDate::currentDate());
        QVERIFY(Control<QTimeEdit>(page, page_names::kNewTimeEdit));

        auto* links = Control<QComboBox>(page, page_names::kLinkModeChoice);
        QCOMPARE(links->count(), 2);
        QCOMPARE(links->itemText(0), QString::fromUtf8("串口"));
        QCOMPARE(links->itemText(1), QString::fromUtf8("网口"));
        QCOMPARE(links->currentIndex(), 0);
        auto* coms = Control<QComboBox>(page, page_names::kComPortChoice);
        QCOMPARE(coms->count(), 9);
        QCOMPARE(coms->itemText(0), QString::fromUtf8("串口1"));
        QCOMPARE(coms->itemText(8), QString::fromUtf8("串口9"));
        QVERIFY(!Control<IpAddressEdit>(page, page_names::kLinkIpEdit)->isEnabled());
        QVERIFY(!Control<QLineEdit>(page, page_names::kLinkPortEdit)->isEnabled());
        links->setCurrentIndex(1);
        QVERIFY(!coms->isEnabled());
        QVERIFY(Control<IpAddressEdit>(page, page_names::kLinkIpEdit)->isEnabled());
        QVERIFY(Control<QLineEdit>(page, page_names::kLinkPortEdit)->isEnabled());
        links->setCurrentIndex(0);
        QVERIFY(coms->isEnabled());
        QVERIFY(!Control<QLineEdit>(page, page_names::kLinkPortEdit)->isEnabled());

        QVERIFY(AllStartersEnabled(page, true));
        QVERIFY(!Button(page, page_names::kCancelButton)->isEnabled());
        QCOMPARE(MenuCommand(page, page_names::kEndDownloadAction)->text(),
                 QString::fromUtf8("结束下载"));
        QCOMPARE(MenuCommand(page, page_names::kEnterDownloadAction)->text(),
                 QString::fromUtf8("进入下载"));
        QCOMPARE(MenuCommand(page, page_names::kFileSystemAction)->text(),
                 QString::fromUtf8("更新文件系统"));
        // Every input has a visible label naming it.
        for (const char* name :
             {page_names::kLinkModeChoice, page_names::kComPortChoice, page_names::kLinkIpEdit,
              page_names::kLinkPortEdit, page_names::kPanelIpEdit, page_names::kPanelPortEdit,
              page_names::kNewIpEdit, page_names::kNewPortEdit, page_names::kGatewayEdit,
              page_names::kMaskEdit, page_names::kPanelClockEdit, page_names::kNewDateEdit,
              page_names::kNewTimeEdit, page_names::kRunProgressBar}) {
            bool labelled = false;
            for (QLabel* l : page->findChildren<QLabel*>())
                labelled = labelled || l->buddy() == FindControl<QWidget>(page, name);
            QVERIFY2(labelled,
                     qPrintable(QStringLiteral("no label for %1").arg(QString::fromLatin1(name))));
        }
    }

    void getAddressFillsThePanelFields() {
        PageRig rig(Folder());
        QVERIFY(rig.started);
        QWidget* page = rig.page.get();
        QVERIFY(RunAndWait(*rig.page, [&] {
            QTest::mouseClick(Button(page, page_names::kGetAddressButton), Qt::LeftButton);
            // The window stays live: the operation runs on a worker.
            QVERIFY(rig.page->Busy());
            QVERIFY(AllStartersEnabled(page, false));
            QVERIFY(!Button(page, page_names::kCancelButton)->isEnabled());
        }));
        QCOMPARE(Control<IpAddressEdit>(page, page_names::kPanelIpEdit)->text(),
                 QStringLiteral("192.168.0.100"));
        QCOMPARE(Control<QLineEdit>(page, page_names::kPanelPortEdit)->text(),
                 QStringLiteral("21845"));
        QVERIFY(rig.sink.Messages().empty());
        QVERIFY(AllStartersEnabled(page, true));
    }

    void setAddressShowsOneSuccessAndThePanelHoldsTheValues() {
        PageRig rig(Folder());
        QWidget* page = rig.page.get();
        Control<IpAddressEdit>(page, page_names::kNewIpEdit)->setText(QStringLiteral("10.1.2.3"));
        Control<QLineEdit>(page, page_names::kNewPortEdit)->setText(QStringLiteral("502"));
        Control<IpAddressEdit>(page, page_names::kGatewayEdit)
            ->setText(QStringLiteral("10.1.2.254"));
        Control<IpAddressEdit>(page, page_names::kMaskEdit)->setText(QStringLiteral("255.255.0.0"));
        QVERIFY(RunAndWait(*rig.page, [&] {
            QTest::mouseClick(Button(page, page_names::kSetAddressButton), Qt::LeftButton);
        }));
        QCOMPARE(rig.sink.Texts(), std::vector<std::string>{"设置成功"});
        const sim::PanelNetwork n = rig.panel.Network();
        QCOMPARE(std::vector<int>(n.ip, n.ip + 4), (std::vector<int>{10, 1, 2, 3}));
        QCOMPARE(int(n.port), 502);
        QCOMPARE(std::vector<int>(n.gateway, n.gateway + 4), (std::vector<int>{10, 1, 2, 254}));
        QCOMPARE(std::vector<int>(n.mask, n.mask + 4), (std::vector<int>{255, 255, 0, 0}));
        QVERIFY(rig.prompts.questions().isEmpty());
    }

    void theNetworkRecordIsSavedEvenWhenThePanelRefuses() {
        PageRig rig(Folder());
        QWidget* page = rig.page.get();
        rig.panel.SetStatusOverride(cmd::kSetParameter, 0);
        Control<IpAddressEdit>(page, page_names::kNewIpEdit)->setText(QStringLiteral("10.9.8.7"));
        Control<IpAddressEdit>(page, page_names::kGatewayEdit)->setText(QStringLiteral("10.9.8.1"));
        QVERIFY(RunAndWait(*rig.page, [&] {
            QTest::mouseClick(Button(page, page_names::kSetAddressButton), Qt::LeftButton);
        }));
        QCOMPARE(rig.sink.Texts(), std::vector<std::string>{"设置失败"});
        QCOMPARE(SavedPanelAddress(Folder()), (std::vector<int>{10, 9, 8, 7}));
    }

    void aPortOutsideOneTo65535IsRefusedBeforeAnythingIsSent() {
        PageRig rig(Folder());
        QWidget* page = rig.page.get();
        for (const char* port : {"70000", "0", "-1", "80x", ""}) {
            rig.sink.Clear();
            Control<QLineEdit>(page, page_names::kNewPortEdit)->setText(QString::fromLatin1(port));
            QTest::mouseClick(Button(page, page_names::kSetAddressButton), Qt::LeftButton);
            QVERIFY(!rig.page->Busy());
            QCOMPARE(rig.sink.Texts(), (std::vector<std::string>{kInvalidPort}));
        }
        QVERIFY(rig.panel.ReceivedFrames().empty());
        QVERIFY(!QFile::exists(temp_->filePath(QStringLiteral("PanelNet.dat"))));
        QCOMPARE(ParseNewPanelPort(QStringLiteral("65535")), std::optional<uint16_t>(65535));
        QCOMPARE(ParseNewPanelPort(QStringLiteral(" 1")), std::optional<uint16_t>(1));
        QCOMPARE(ParseNewPanelPort(QStringLiteral("65536")), std::optional<uint16_t>());
    }

    void getAndSetTheClock() {
        PageRig rig(Folder());
        QWidget* page = rig.page.get();
        rig.panel.SetClock({2020, 12, 31, 23, 59, 58});
        QVERIFY(RunAndWait(*rig.page, [&] {
            QTest::mouseClick(Button(page, page_names::kGetClockButton), Qt::LeftButton);
        }));
        const QString shown = Control<QLineEdit>(page, page_names::kPanelClockEdit)->text();
        QVERIFY2(shown.startsWith(QStringLiteral("2020-12-31 23:59:5")) ||
                     shown == QStringLiteral("2021-01-01 00:00:00"),
                 qPrintable(shown));
        QVERIFY(rig.sink.Messages().empty());

        Control<QDateEdit>(page, page_names::kNewDateEdit)->setDate(QDate(2024, 2, 29));
        Control<QTimeEdit>(page, page_names::kNewTimeEdit)->setTime(QTime(8, 30, 0));
        QVERIFY(RunAndWait(*rig.page, [&] {
            QTest::mouseClick(Button(page, page_names::kSetClockButton), Qt::LeftButton);
        }));
        QCOMPARE(rig.sink.Texts(), std::vector<std::string>{"设置成功"});
        const sim::ClockFields c = rig.panel.Clock();
        QCOMPARE((std::vector<int>{c.year, c.month, c.day, c.hour, c.minute}),
                 (std::vector<int>{2024, 2, 29, 8, 30}));
        QVERIFY(rig.prompts.questions().isEmpty());
    }

    void anAddressThatCutsThePanelOffIsSentOnlyOnYes() {
        PageRig rig(Folder());
        QWidget* page = rig.page.get();
        const sim::PanelNetwork before = rig.panel.Network();
        const struct {
            const char* ip;
            const char* mask;
            const char* reason;
        } refused[] = {
            {"0.0.0.0", "255.255.255.0", "面板地址0.0.0.0："},
            {"127.0.0.5", "255.255.255.0", "回环网络"},
            {"224.0.0.1", "255.255.255.0", "组播"},
            {"255.255.255.255", "255.255.255.0", "255.255.255.255是广播地址"},
            {"192.168.0.255", "255.255.255.0", "是其子网的广播地址"},
            {"192.168.0.100", "255.0.255.0", "子网掩码255.0.255.0"},
            {"192.168.0.100", "0.0.0.0", "子网掩码0.0.0.0"},
        };
        std::vector<const char*> reasons;
        for (const auto& c : refused) {
            Control<IpAddressEdit>(page, page_names::kNewIpEdit)
                ->setText(QString::fromLatin1(c.ip));
            Control<IpAddressEdit>(page, page_names::kMaskEdit)
                ->setText(QString::fromLatin1(c.mask));
            rig.prompts.AddAnswer(false);
            QTest::mouseClick(Button(page, page_names::kSetAddressButton), Qt::LeftButton);
            QVERIFY2(!rig.page->Busy(), c.ip);
            reasons.push_back(c.reason);
        }
        QVERIFY(AskedAbout(rig.prompts, kNetworkConcern, reasons));
        QVERIFY(rig.panel.FramesWithCommand(cmd::kSetParameter).empty());
        QVERIFY(rig.sink.Messages().empty());
        QVERIFY(!QFile::exists(temp_->filePath(QStringLiteral("PanelNet.dat"))));
        QCOMPARE(Octets(rig.panel.Network().ip), Octets(before.ip));
        QCOMPARE(Octets(rig.panel.Network().mask), Octets(before.mask));

        // Yes sends as before: the record first, then the three values.
        Control<IpAddressEdit>(page, page_names::kNewIpEdit)->setText(QStringLiteral("224.0.0.1"));
        Control<IpAddressEdit>(page, page_names::kMaskEdit)
            ->setText(QStringLiteral("255.255.255.0"));
        rig.prompts.AddAnswer(true);
        QVERIFY(RunAndWait(*rig.page, [&] {
            QTest::mouseClick(Button(page, page_names::kSetAddressButton), Qt::LeftButton);
        }));
        QCOMPARE(rig.prompts.questions().size(), qsizetype(std::size(refused) + 1));
        QCOMPARE(rig.sink.Texts(), std::vector<std::string>{"设置成功"});
        QCOMPARE(Octets(rig.panel.Network().ip), (std::vector<int>{224, 0, 0, 1}));
        QCOMPARE(rig.panel.FramesWithCommand(cmd::kSetParameter).size(), size_t{3});
        QCOMPARE(SavedPanelAddress(Folder()), (std::vector<int>{224, 0, 0, 1}));
    }

    void aGatewayOutsideTheSubnetIsSentAfterOneWarning() {
        PageRig rig(Folder());
        QWidget* page = rig.page.get();
        // The page's default gateway 192.168.0.1 stays.
        Control<IpAddressEdit>(page, page_names::kNewIpEdit)->setText(QStringLiteral("10.1.2.3"));
        Control<IpAddressEdit>(page, page_names::kMaskEdit)->setText(QStringLiteral("255.255.0.0"));
        QVERIFY(RunAndWait(*rig.page, [&] {
            QTest::mouseClick(Button(page, page_names::kSetAddressButton), Qt::LeftButton);
        }));
        QVERIFY(rig.prompts.questions().isEmpty());
        const auto shown = rig.sink.Messages();
        QCOMPARE(shown.size(), size_t{2});
        QCOMPARE(shown[0].kind, MessageKind::Warning);
        const QString warning = QString::fromStdString(shown[0].text);
        QVERIFY2(warning.startsWith(QString::fromUtf8(kInputWarning)) &&
                     warning.contains(QStringLiteral("网关192.168.0.1不在面板的子网10.1.0.0")),
                 qPrintable(warning));
        QCOMPARE(shown[1].text, std::string("设置成功"));
        QCOMPARE(Octets(rig.panel.Network().ip), (std::vector<int>{10, 1, 2, 3}));
        QCOMPARE(Octets(rig.panel.Network().gateway), (std::vector<int>{192, 168, 0, 1}));
    }

    void aClockThePanelCannotReportBackIsSentOnlyOnYes() {
        PageRig rig(Folder());
        QWidget* page = rig.page.get();
        rig.panel.SetClock({2020, 6, 1, 12, 0, 0});
        auto* date = Control<QDateEdit>(page, page_names::kNewDateEdit);
        for (const QDate& d : {QDate(1999, 12, 31), QDate(2100, 1, 1)}) {
            date->setDate(d);
            QCOMPARE(date->date(), d);
            rig.prompts.AddAnswer(false);
            QTest::mouseClick(Button(page, page_names::kSetClockButton), Qt::LeftButton);
            QVERIFY(!rig.page->Busy());
        }
        QVERIFY(AskedAbout(rig.prompts, kClockConcern, {"年份1999", "年份2100"}));
        QVERIFY(rig.panel.ReceivedFrames().empty());
        QVERIFY(rig.sink.Messages().empty());
        QCOMPARE(rig.panel.Clock().year, 2020);

        rig.prompts.AddAnswer(true);
        Control<QTimeEdit>(page, page_names::kNewTimeEdit)->setTime(QTime(8, 30, 0));
        QVERIFY(RunAndWait(*rig.page, [&] {
            QTest::mouseClick(Button(page, page_names::kSetClockButton), Qt::LeftButton);
        }));
        QCOMPARE(rig.sink.Texts(), std::vector<std::string>{"设置成功"});
        QCOMPARE(rig.panel.FramesWithCommand(cmd::kSetClock).size(), size_t{1});
        const sim::ClockFields c = rig.panel.Clock();
        QCOMPARE((std::vector<int>{c.year, c.month, c.day, c.hour, c.minute}),
                 (std::vector<int>{2100, 1, 1, 8, 30}));
    }

    void anImageThatWouldOverwriteTheNextRegionRunsOnlyOnYes() {
        PageRig rig(Folder());
        QWidget* page = rig.page.get();
        // A kernel chosen at the boot-loader button, and a kernel into the file system.
        const QString boot = WriteImage(Folder(), QStringLiteral("boot.dat"), 0x80001);
        const QString kernel = WriteImage(Folder(), QStringLiteral("kernel.dat"), 0x200001);
        for (const auto& [name, image] : {std::pair{page_names::kBootLoaderButton, boot},
                                          std::pair{page_names::kKernelButton, kernel}}) {
            rig.prompts.AddFile(image);
            rig.prompts.AddAnswer(false);
            QTest::mouseClick(Button(page, name), Qt::LeftButton);
            QVERIFY(!rig.page->Busy());
        }
        QVERIFY(AskedAbout(rig.prompts, kImageConcern,
                           {"524289字节（0x80001），从0x0写起会覆盖0x80000处的内核",
                            "2097153字节（0x200001），从0x80000写起会覆盖0x280000处的文件系统"}));
        QVERIFY(rig.panel.ReceivedFrames().empty());
        QVERIFY(rig.sink.Messages().empty());
        QVERIFY(AllStartersEnabled(page, true));

        rig.prompts.AddFile(boot);
        rig.prompts.AddAnswer(true);
        QVERIFY(BootLoaderRunLands(rig, boot));
    }

    // Every reason of a refusal is asked in the window's language: the
    // stored Chinese without a translation, English under the English one.
    void theReasonsAreAskedInTheWindowsLanguage() {
        const auto ask_all = [this] {
            PageRig rig(Folder());
            QWidget* page = rig.page.get();
            // Two refusals at once: an address for no host and a mask that is none.
            Control<IpAddressEdit>(page, page_names::kNewIpEdit)
                ->setText(QStringLiteral("0.0.0.0"));
            Control<IpAddressEdit>(page, page_names::kMaskEdit)
                ->setText(QStringLiteral("255.0.255.0"));
            rig.prompts.AddAnswer(false);
            QTest::mouseClick(Button(page, page_names::kSetAddressButton), Qt::LeftButton);
            Control<QDateEdit>(page, page_names::kNewDateEdit)->setDate(QDate(1999, 12, 31));
            rig.prompts.AddAnswer(false);
            QTest::mouseClick(Button(page, page_names::kSetClockButton), Qt::LeftButton);
            rig.prompts.AddFile(WriteImage(Folder(), QStringLiteral("boot.dat"), 0x80001));
            rig.prompts.AddAnswer(false);
            QTest::mouseClick(Button(page, page_names::kBootLoaderButton), Qt::LeftButton);
            return rig.prompts.questions();
        };
        const auto question = [](const char* concern, const QStringList& reasons) {
            return Translated(concern) + QLatin1Char('\n') + reasons.join(QLatin1Char('\n')) +
                   QLatin1Char('\n') + Translated(kSendAnyway);
        };

        QCOMPARE(
            ask_all(),
            (QStringList{
                question(kNetworkConcern,
                         {QStringLiteral("面板地址0.0.0.0：0.0.0.0不代表任何主机"),
                          QStringLiteral("子网掩码255.0.255.0：掩码应是连续的1后跟0，"
                                         "例如255.255.255.0")}),
                question(kClockConcern,
                         {QStringLiteral("年份1999：面板只保存2000到2099年，不能报回其他年份")}),
                question(kImageConcern,
                         {QStringLiteral("BootLoader文件有524289字节（0x80001），从0x0写起会"
                                         "覆盖0x80000处的内核（最多容纳0x80000字节）")}),
            }));

        WindowTranslation english(UiLanguage::English);
        QVERIFY(english.complete());
        QCOMPARE(
            ask_all(),
            (QStringList{
                question(kNetworkConcern,
                         {QStringLiteral("panel address 0.0.0.0: 0.0.0.0 names no host"),
                          QStringLiteral("subnet mask 255.0.255.0: a mask is one or more "
                                         "leading ones followed by zeros, e.g. 255.255.255.0")}),
                question(kClockConcern, {QStringLiteral("year 1999: the panel keeps years 2000 "
                                                        "to 2099 and could not report another "
                                                        "back")}),
                question(kImageConcern,
                         {QStringLiteral("the bootloader image is 524289 bytes (0x80001); from "
                                         "0x0 it would overwrite the kernel at 0x80000 (at "
                                         "most 0x80000 bytes fit)")}),
            }));
    }

    void anEmptyImageRunsAfterOneWarning() {
        PageRig rig(Folder());
        QWidget* page = rig.page.get();
        rig.prompts.AddFile(WriteImage(Folder(), QStringLiteral("empty.img"), 0));
        QVERIFY(RunAndWait(*rig.page,
                           [&] { MenuCommand(page, page_names::kFileSystemAction)->trigger(); }));
        QVERIFY(rig.prompts.questions().isEmpty());
        const auto shown = rig.sink.Messages();
        QVERIFY(!shown.empty());
        QCOMPARE(shown[0].kind, MessageKind::Warning);
        QVERIFY2(QString::fromStdString(shown[0].text).contains(QStringLiteral("文件系统文件为空")),
                 shown[0].text.c_str());
        // The run went on to the panel.
        QVERIFY(!rig.panel.ReceivedFrames().empty());
    }

    void eraseOverUdpAsksToWaitAndLeavesTheBarEmpty() {
        PageRig rig(Folder());
        QWidget* page = rig.page.get();
        QVERIFY(RunAndWait(*rig.page, [&] {
            QTest::mouseClick(Button(page, page_names::kEraseButton), Qt::LeftButton);
        }));
        QCOMPARE(rig.sink.Messages(),
                 (std::vector<Message>{
                     {MessageKind::AppDefault, std::string(Text(TextId::EraseWait))}}));
        auto* bar = Control<PercentBar>(page, page_names::kRunProgressBar);
        QCOMPARE(bar->Position(), 0);
        QVERIFY(bar->Text().isEmpty());
        QVERIFY(AllStartersEnabled(page, true));
    }

    void eraseOverUsbRefusesAndOpensNothing() {
        PageRig rig(Folder(), 3);
        QWidget* page = rig.page.get();
        QVERIFY(RunAndWait(*rig.page, [&] {
            QTest::mouseClick(Button(page, page_names::kEraseButton), Qt::LeftButton);
        }));
        QCOMPARE(rig.sink.Messages(),
                 (std::vector<Message>{
                     {MessageKind::Error, std::string(Text(TextId::NoUsbProgramming))}}));
        QCOMPARE(rig.controller.link_closings(), 0u);
        QVERIFY(rig.panel.ReceivedFrames().empty());
    }

    void aKernelRunStreamsWithProgressAndLandsAtItsAddress() {
        PageRig rig(Folder());
        QWidget* page = rig.page.get();
        // Kernels are mostly named without a dot.
        const QString image = WriteImage(Folder(), QStringLiteral("zImage"), 48 * 1024 + 100);
        rig.prompts.AddFile(image);
        SlowData(rig.panel, 40, 10);
        auto* bar = Control<PercentBar>(page, page_names::kRunProgressBar);
        auto* figures = Control<QLabel>(page, page_names::kRunFiguresLabel);
        QVERIFY(RunAndWait(*rig.page, [&] {
            QTest::mouseClick(Button(page, page_names::kKernelButton), Qt::LeftButton);
            QVERIFY(AllStartersEnabled(page, false));
            QVERIFY(Button(page, page_names::kCancelButton)->isEnabled());
            QTRY_VERIFY_WITH_TIMEOUT(bar->Position() > 0, 10000);
            // The figures speak the window's language, as the bar does.
            QTRY_VERIFY_WITH_TIMEOUT(figures->text().contains(QString::fromUtf8(" 字节 ")), 10000);
            QVERIFY2(figures->text().contains(QString::fromUtf8("剩余")),
                     qPrintable(figures->text()));
            QVERIFY(bar->Text().startsWith(QString::fromUtf8("内核下载中")));
        }));
        // What the page asks the file dialog for lets a real dialog open zImage.
        const auto request = rig.prompts.file_requests().at(0);
        QCOMPARE(ChooseInARealDialog(Folder(), request.filter, request.default_suffix,
                                     QStringLiteral("zImage")),
                 QFileInfo(image).absoluteFilePath());
        const auto file = Bytes(image.toStdString());
        QCOMPARE(rig.panel.ReadFlash(0x00080000, uint32_t(file.size())), file);
        QCOMPARE(rig.sink.Messages(),
                 (std::vector<Message>{
                     {MessageKind::AppDefault, std::string(Text(TextId::KernelDownloaded))},
                     {MessageKind::Plain, std::string(Text(TextId::UpdateDone))}}));
        QCOMPARE(bar->Position(), 0);
        QVERIFY(bar->Text().isEmpty());
        QVERIFY(figures->text().isEmpty());
        QVERIFY(AllStartersEnabled(page, true));
        QVERIFY(!Button(page, page_names::kCancelButton)->isEnabled());
        QVERIFY(rig.prompts.questions().isEmpty());
    }

    void bootLoaderAndFileSystemRunsLandAtTheirAddresses() {
        PageRig rig(Folder());
        QWidget* page = rig.page.get();
        const QString boot = WriteImage(Folder(), QStringLiteral("boot.bin"), 5000);
        const QString fs = WriteImage(Folder(), QStringLiteral("rootfs.img"), 9000);
        rig.prompts.AddFile(boot);
        rig.prompts.AddFile(fs);
        QVERIFY(RunAndWait(*rig.page, [&] {
            QTest::mouseClick(Button(page, page_names::kBootLoaderButton), Qt::LeftButton);
        }));
        // The file-system run says what it does while its checks run, on
        // the page's status line above its own Cancel.
        rig.panel.InjectFault({sim::FaultKind::Delay, cmd::kQueryState, 1, 300});
        auto* status = Control<QLabel>(page, page_names::kRunFiguresLabel);
        QVERIFY(RunAndWait(*rig.page, [&] {
            MenuCommand(page, page_names::kFileSystemAction)->trigger();
            QCOMPARE(status->text(), QString::fromUtf8(kConfiguringLink));
            QVERIFY(Button(page, page_names::kCancelButton)->isEnabled());
        }));
        QVERIFY(status->text().isEmpty());
        const auto b = Bytes(boot.toStdString());
        const auto f = Bytes(fs.toStdString());
        QCOMPARE(rig.panel.ReadFlash(0x00000000, uint32_t(b.size())), b);
        QCOMPARE(rig.panel.ReadFlash(0x00280000, uint32_t(f.size())), f);
        // Only the kernel asks to wait for the burn.
        QCOMPARE(rig.sink.Texts(),
                 (std::vector<std::string>{std::string(Text(TextId::UpdateDone)),
                                           std::string(Text(TextId::UpdateDone))}));
    }

    void theImageFolderIsRemembered() {
        const QString sub = Folder() + QStringLiteral("/images");
        QDir().mkpath(sub);
        const QString image = WriteImage(sub, QStringLiteral("k.dat"), 100);
        {
            PageRig rig(Folder());
            rig.prompts.AddFile(image);
            QVERIFY(RunAndWait(*rig.page, [&] {
                QTest::mouseClick(Button(rig.page.get(), page_names::kBootLoaderButton),
                                  Qt::LeftButton);
            }));
        }
        PageRig again(Folder());
        QTest::mouseClick(Button(again.page.get(), page_names::kBootLoaderButton),
                          Qt::LeftButton);  // chooser cancelled
        QCOMPARE(again.prompts.file_requests().at(0).folder, sub);
        QVERIFY(!again.page->Busy());
    }

    void cancelEndsTheRunSilentlyAndTheNextRunSucceeds() {
        PageRig rig(Folder());
        QWidget* page = rig.page.get();
        const QString image = WriteImage(Folder(), QStringLiteral("big.dat"), 200 * 1024);
        rig.prompts.AddFile(image);
        rig.prompts.AddFile(image);
        SlowData(rig.panel, 100, 20);
        auto* bar = Control<PercentBar>(page, page_names::kRunProgressBar);
        QVERIFY(RunAndWait(*rig.page, [&] {
            QTest::mouseClick(Button(page, page_names::kBootLoaderButton), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(bar->Position() > 2, 10000);
            QTest::mouseClick(Button(page, page_names::kCancelButton), Qt::LeftButton);
        }));
        QVERIFY(rig.sink.Messages().empty());
        QCOMPARE(bar->Position(), 0);
        QVERIFY(bar->Text().isEmpty());
        QVERIFY(AllStartersEnabled(page, true));
        QVERIFY(!Button(page, page_names::kCancelButton)->isEnabled());
        // No box, but the status line says what the panel now holds, and
        // keeps saying it while the page's timer runs.
        auto* status = Control<QLabel>(page, page_names::kRunFiguresLabel);
        QCOMPARE(status->text(), WindowText(WindowTextId::RunCancelled));
        QTest::qWait(500);
        QCOMPARE(status->text(), WindowText(WindowTextId::RunCancelled));

        QVERIFY(BootLoaderRunLands(rig, image));
        QVERIFY(status->text().isEmpty());
    }

    void closingMidRunAsksAndYesEndsTheWorkerFirst() {
        PageRig rig(Folder());
        auto window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        MaintenancePage* page = rig.page.release();  // the window owns it now
        layout->addWidget(page);
        window->show();
        const QString image = WriteImage(Folder(), QStringLiteral("big.dat"), 200 * 1024);
        rig.prompts.AddFile(image);
        SlowData(rig.panel, 100, 20);
        QTest::mouseClick(Button(page, page_names::kKernelButton), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(
            Control<PercentBar>(page, page_names::kRunProgressBar)->Position() > 2, 10000);

        rig.prompts.AddAnswer(false);
        QVERIFY(!window->close());
        QVERIFY(window->isVisible());
        QVERIFY(page->Busy());
        QCOMPARE(rig.prompts.questions().size(), qsizetype(1));
        QVERIFY(rig.prompts.questions()[0].contains(QString::fromUtf8("保留已经写入的内容")));

        rig.prompts.AddAnswer(true);
        QVERIFY(window->close());
        QVERIFY(!page->Busy());
        QVERIFY(!rig.controller.busy());
        QVERIFY(rig.sink.Messages().empty());
        window.reset();  // the page goes with the window; nothing of it is used after
        QVERIFY(!rig.controller.run_active());
    }

    void theMainWindowAsksBeforeClosingMidRun() {
        PageRig rig(Folder());
        rig.page.reset();
        {
            MainWindow window(rig.controller, rig.prompts);
            window.AddPage(QString::fromUtf8("系统处理"), QIcon(),
                           CreateMaintenancePage(rig.controller, rig.prompts, &window));
            window.show();
            auto* page = window.findChild<MaintenancePage*>();
            QVERIFY(page && page->isVisible() && !page->isWindow());
            rig.prompts.AddFile(WriteImage(Folder(), QStringLiteral("big.dat"), 200 * 1024));
            SlowData(rig.panel, 100, 20);
            QTest::mouseClick(Button(page, page_names::kKernelButton), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(
                Control<PercentBar>(page, page_names::kRunProgressBar)->Position() > 2, 10000);
            rig.prompts.AddAnswer(false);
            QVERIFY(!window.close());
            QVERIFY(page->Busy());
            // Escape, wherever the focus is, neither asks nor hides the page
            // with its bar and Cancel while the run goes on.
            for (QWidget* focus :
                 {static_cast<QWidget*>(&window),
                  static_cast<QWidget*>(Button(page, page_names::kCancelButton))}) {
                QTest::keyClick(focus, Qt::Key_Escape);
                QVERIFY(window.isVisible());
                QVERIFY(page->isVisible());
                QVERIFY(page->Busy());
            }
            QCOMPARE(rig.prompts.questions().size(), qsizetype(1));
            rig.prompts.AddAnswer(true);
            QVERIFY(window.close());
            QVERIFY(!rig.controller.busy());
            QCOMPARE(rig.prompts.questions().size(), qsizetype(2));
        }
        QVERIFY(rig.sink.Messages().empty());
    }

    void closingDuringAPageOperationWaitsForItWithoutAsking() {
        PageRig rig(Folder());
        MaintenancePage* page = rig.page.get();
        page->show();
        // A silent panel: the operation lasts through its time-outs.
        rig.panel.InjectFault({sim::FaultKind::Drop, cmd::kQueryState, 2});
        QTest::mouseClick(Button(page, page_names::kGetAddressButton), Qt::LeftButton);
        QVERIFY(page->Busy());
        QVERIFY(page->close());
        QVERIFY(!page->Busy());
        QVERIFY(rig.prompts.questions().isEmpty());
        QCOMPARE(Control<IpAddressEdit>(page, page_names::kPanelIpEdit)->text(),
                 QStringLiteral("192.168.0.100"));
    }

    void theLogoButtonWritesTheLogoFileAndProgramsIt() {
        const QString models = temp_->filePath(QStringLiteral("XMLName.dat"));
        {
            std::ofstream out(models.toStdString());
            out << "<?xml version=\"1.0\"?><ge><HMI_Types><HMI_Type id=\"1\" name=\"320 x 240\">"
                   "<screen_size_cx>320</screen_size_cx><screen_size_cy>240</screen_size_cy>"
                   "</HMI_Type></HMI_Types></ge>";
        }
        const QString picture = temp_->filePath(QStringLiteral("a.bmp"));
        QImage image(64, 32, QImage::Format_RGB32);
        image.fill(Qt::yellow);
        image.save(picture);
        {
            PageRig rig(Folder());
            rig.page->SetModelsFile(models.toStdString());
            rig.page->SetPickerRunner([&](LogoPickerDialog& dlg) {
                dlg.InitDialog();
                dlg.SelectPicture(picture);
                dlg.OnColourChanged(0x00102030);
                dlg.accept();
                return dlg.result();
            });
            QVERIFY(RunAndWait(*rig.page, [&] {
                QTest::mouseClick(Button(rig.page.get(), page_names::kLogoButton), Qt::LeftButton);
            }));
            const auto logo = Bytes((picture + QStringLiteral(".logo")).toStdString());
            QVERIFY(!logo.empty());
            QCOMPARE(rig.panel.ReadFlash(0x00040000, uint32_t(logo.size())), logo);
            QCOMPARE(rig.sink.Texts(),
                     (std::vector<std::string>{std::string(Text(TextId::UpdateDone)),
                                               WindowText(WindowTextId::LogoFileWritten)
                                                   .arg(picture + QStringLiteral(".logo"))
                                                   .toStdString()}));
        }
        // A new start: the picker opens on the remembered picture and colour.
        PageRig again(Folder());
        again.page->SetModelsFile(models.toStdString());
        QCOMPARE(again.page->remembered_picture(), picture);
        QCOMPARE(again.page->remembered_colour(), 0x00102030u);
        bool shown = false;
        again.page->SetPickerRunner([&](LogoPickerDialog& dlg) {
            dlg.InitDialog();
            shown = dlg.pane()->shown() && dlg.picture_path() == picture &&
                    dlg.pane()->colour() == 0x00102030u && !dlg.pane()->picture().IsEmpty();
            return int(QDialog::Rejected);
        });
        QTest::mouseClick(Button(again.page.get(), page_names::kLogoButton), Qt::LeftButton);
        QVERIFY(shown);
        QVERIFY(!again.page->Busy());
    }

    void withoutAModelTheLogoRunDoesNotStart() {
        const QString picture = temp_->filePath(QStringLiteral("b.bmp"));
        QImage image(16, 16, QImage::Format_RGB32);
        image.fill(Qt::white);
        image.save(picture);
        PageRig rig(Folder());
        const std::filesystem::path missing =
            temp_->filePath(QStringLiteral("none/XMLName.dat")).toStdString();
        rig.page->SetModelsFile(missing);
        rig.page->SetPickerRunner([&](LogoPickerDialog& dlg) {
            dlg.InitDialog();
            dlg.SelectPicture(picture);
            dlg.accept();
            return dlg.result();
        });
        QTest::mouseClick(Button(rig.page.get(), page_names::kLogoButton), Qt::LeftButton);
        QVERIFY(!rig.page->Busy());
        const auto texts = rig.sink.Texts();
        QCOMPARE(texts.size(), size_t{1});
        QVERIFY(
            QString::fromStdString(texts[0]).contains(QString::fromStdString(missing.string())));
        QVERIFY(rig.panel.ReceivedFrames().empty());
        QVERIFY(!QFile::exists(picture + QStringLiteral(".logo")));
    }

    void overUsbTheLogoIsWrittenThenRefused() {
        const QString picture = temp_->filePath(QStringLiteral("c.bmp"));
        QImage image(16, 16, QImage::Format_RGB32);
        image.fill(Qt::blue);
        image.save(picture);
        PageRig rig(Folder(), 3);
        rig.page->SetModelsFile(std::nullopt);
        rig.page->SetPickerRunner([&](LogoPickerDialog& dlg) {
            dlg.InitDialog();
            dlg.SelectPicture(picture);
            dlg.accept();
            return dlg.result();
        });
        rig.page->SetModelsFile(temp_->filePath(QStringLiteral("XMLName.dat")).toStdString());
        std::ofstream(temp_->filePath(QStringLiteral("XMLName.dat")).toStdString())
            << "<ge><HMI_Types><HMI_Type id=\"1\" name=\"m\"><screen_size_cx>320</screen_size_cx>"
               "<screen_size_cy>240</screen_size_cy></HMI_Type></HMI_Types></ge>";
        QVERIFY(RunAndWait(*rig.page, [&] {
            QTest::mouseClick(Button(rig.page.get(), page_names::kLogoButton), Qt::LeftButton);
        }));
        QVERIFY(QFile::exists(picture + QStringLiteral(".logo")));
        QCOMPARE(rig.sink.Texts(),
                 std::vector<std::string>{std::string(Text(TextId::NoUsbProgramming))});
    }

    // --- where the logo file goes and what the logo run says -----------------

    void aLogoFileGoesBesideThePictureOrIntoTheFallbackFolder() {
        namespace fs = std::filesystem;
        const fs::path picture = fs::path("pictures") / "start.png";
        QCOMPARE(ChooseLogoPath(picture, true, "data"), fs::path("pictures") / "start.png.logo");
        QCOMPARE(ChooseLogoPath(picture, false, "data"), fs::path("data") / "start.png.logo");
        QCOMPARE(PictureFolder("start.png"), fs::path("."));
        QCOMPARE(PictureFolder(picture), fs::path("pictures"));
    }

    // Tried by making a file, which it removes again.
    void aFolderTakesFilesOnlyWhenOneCanBeMadeThere() {
        namespace fs = std::filesystem;
        const fs::path folder = Folder().toStdString();
        QVERIFY(CanCreateFileIn(folder));
        QVERIFY(fs::is_empty(folder));
        QVERIFY(!CanCreateFileIn(folder / "no-such-folder"));
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
        const bool refused = !CanCreateFileIn(folder);
        // Whether this user could write regardless (root): made by hand.
        const bool writes_anyway =
            QFile(Folder() + QStringLiteral("/x")).open(QIODevice::WriteOnly);
        QFile::remove(Folder() + QStringLiteral("/x"));
        fs::permissions(folder, fs::perms::owner_all);
        if (writes_anyway)
            QSKIP("this user writes into a folder of mode 0555 (root)");
        QVERIFY(refused);
    }

    // A picture in a folder that takes no new files: the logo file goes to
    // the user's data folder and the run names where.
    void aPictureInAFolderThatTakesNoFilesHasItsLogoInTheDataFolder() {
        namespace fs = std::filesystem;
        QStandardPaths::setTestModeEnabled(true);
        const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
        QDir(data).removeRecursively();
        const QString models = WriteOneModel();
        const QString shelf = temp_->filePath(QStringLiteral("shelf"));
        QVERIFY(QDir().mkpath(shelf));
        const QString picture = shelf + QStringLiteral("/d.bmp");
        QImage image(16, 16, QImage::Format_RGB32);
        image.fill(Qt::cyan);
        QVERIFY(image.save(picture));
        fs::permissions(shelf.toStdString(), fs::perms::owner_read | fs::perms::owner_exec);
        const bool locked = !CanCreateFileIn(shelf.toStdString());
        PageRig rig(Folder());
        rig.page->SetModelsFile(models.toStdString());
        rig.page->SetPickerRunner([&](LogoPickerDialog& dlg) {
            dlg.InitDialog();
            dlg.SelectPicture(picture);
            dlg.accept();
            return dlg.result();
        });
        if (locked) {
            QVERIFY(RunAndWait(*rig.page, [&] {
                QTest::mouseClick(Button(rig.page.get(), page_names::kLogoButton), Qt::LeftButton);
            }));
        }
        fs::permissions(shelf.toStdString(), fs::perms::owner_all);
        if (!locked)
            QSKIP("this user writes into a folder of mode 0555 (root)");
        const QString logo = data + QStringLiteral("/d.bmp.logo");
        QVERIFY(QFile::exists(logo));
        QVERIFY(!QFile::exists(picture + QStringLiteral(".logo")));
        QCOMPARE(rig.sink.Texts().back(),
                 WindowText(WindowTextId::LogoFileWritten).arg(logo).toStdString());
    }

    // A remembered picture deleted since is named as missing, not as a logo
    // file that cannot be written, and nothing is sent.
    void aRememberedPictureDeletedSinceIsNamedAsMissing() {
        const QString models = WriteOneModel();
        const QString picture = temp_->filePath(QStringLiteral("e.bmp"));
        QImage image(16, 16, QImage::Format_RGB32);
        image.fill(Qt::magenta);
        QVERIFY(image.save(picture));
        {
            PageRig rig(Folder());
            rig.page->SetModelsFile(models.toStdString());
            rig.page->SetPickerRunner([&](LogoPickerDialog& dlg) {
                dlg.InitDialog();
                dlg.SelectPicture(picture);
                dlg.accept();
                return dlg.result();
            });
            QVERIFY(RunAndWait(*rig.page, [&] {
                QTest::mouseClick(Button(rig.page.get(), page_names::kLogoButton), Qt::LeftButton);
            }));
        }
        QVERIFY(QFile::remove(picture));
        PageRig rig(Folder());
        rig.page->SetModelsFile(models.toStdString());
        rig.page->SetPickerRunner([&](LogoPickerDialog& dlg) {
            dlg.InitDialog();
            dlg.accept();
            return dlg.result();
        });
        QTest::mouseClick(Button(rig.page.get(), page_names::kLogoButton), Qt::LeftButton);
        QVERIFY(!rig.page->Busy());
        const auto texts = rig.sink.Texts();
        QCOMPARE(texts.size(), size_t{1});
        QVERIFY(QString::fromStdString(texts[0]).startsWith(WindowText(WindowTextId::PictureMissing)
                                                                .section(QLatin1Char('\n'), 0, 0)
                                                                .arg(picture)));
        QVERIFY(rig.panel.ReceivedFrames().empty());
    }

    // --- the clock, the file-system run and the tab order -----------------

    // The clock has nothing to do with the new address: a bad port there
    // neither stops 获取 and 更新 nor gets saved; whole fields are saved along.
    void theClockWorksWhateverTheAddressFieldsHold() {
        PageRig rig(Folder());
        QWidget* page = rig.page.get();
        rig.panel.SetClock({2021, 3, 4, 5, 6, 7});
        Control<QLineEdit>(page, page_names::kNewPortEdit)->setText(QStringLiteral("70000"));
        QVERIFY(RunAndWait(*rig.page, [&] {
            QTest::mouseClick(Button(page, page_names::kGetClockButton), Qt::LeftButton);
        }));
        QVERIFY2(Control<QLineEdit>(page, page_names::kPanelClockEdit)
                     ->text()
                     .startsWith(QStringLiteral("2021-03-04 05:06:")),
                 qPrintable(Control<QLineEdit>(page, page_names::kPanelClockEdit)->text()));
        QVERIFY(rig.sink.Messages().empty());

        Control<QDateEdit>(page, page_names::kNewDateEdit)->setDate(QDate(2025, 7, 1));
        Control<QTimeEdit>(page, page_names::kNewTimeEdit)->setTime(QTime(9, 15, 0));
        QVERIFY(RunAndWait(*rig.page, [&] {
            QTest::mouseClick(Button(page, page_names::kSetClockButton), Qt::LeftButton);
        }));
        QCOMPARE(rig.sink.Texts(), std::vector<std::string>{"设置成功"});
        const sim::ClockFields c = rig.panel.Clock();
        QCOMPARE((std::vector<int>{c.year, c.month, c.day, c.hour, c.minute}),
                 (std::vector<int>{2025, 7, 1, 9, 15}));
        QVERIFY(!QFile::exists(temp_->filePath(QStringLiteral("PanelNet.dat"))));

        // An address with a field left empty is not saved either.
        Control<QLineEdit>(page, page_names::kNewPortEdit)->setText(QStringLiteral("21845"));
        Control<IpAddressEdit>(page, page_names::kNewIpEdit)->setText(QStringLiteral("10.1..4"));
        rig.sink.Clear();
        QVERIFY(RunAndWait(*rig.page, [&] {
            QTest::mouseClick(Button(page, page_names::kGetClockButton), Qt::LeftButton);
        }));
        QVERIFY(rig.sink.Messages().empty());
        QVERIFY(!QFile::exists(temp_->filePath(QStringLiteral("PanelNet.dat"))));

        Control<IpAddressEdit>(page, page_names::kNewIpEdit)->setText(QStringLiteral("10.1.2.4"));
        QVERIFY(RunAndWait(*rig.page, [&] {
            QTest::mouseClick(Button(page, page_names::kGetClockButton), Qt::LeftButton);
        }));
        QVERIFY(rig.sink.Messages().empty());
        QCOMPARE(SavedPanelAddress(Folder()), (std::vector<int>{10, 1, 2, 4}));
    }

    // However the file-system run shows itself, the Cancel in front of the
    // user stops it: during its slow checks, and the image never lands whole.
    void theFileSystemRunStopsAtTheCancelTheUserSees() {
        PageRig rig(Folder());
        QWidget* page = rig.page.get();
        const QString fs = WriteImage(Folder(), QStringLiteral("rootfs.img"), 200 * 1024);
        rig.prompts.AddFile(fs);
        rig.panel.InjectFault({sim::FaultKind::Delay, cmd::kQueryState, 1, 1500});
        SlowData(rig.panel, 100, 20);
        auto* status = Control<QLabel>(page, page_names::kRunFiguresLabel);
        QVERIFY(RunAndWait(*rig.page, [&] {
            MenuCommand(page, page_names::kFileSystemAction)->trigger();
            // The checks have begun: the panel has the state query.
            QTRY_VERIFY_WITH_TIMEOUT(!rig.panel.FramesWithCommand(cmd::kQueryState).empty(), 5000);
            QAbstractButton* cancel = CancelInFront(page);
            QVERIFY(cancel);
            QVERIFY(cancel->isEnabled());
            QTest::mouseClick(cancel, Qt::LeftButton);
        }));
        QCOMPARE(status->text(), WindowText(WindowTextId::RunCancelled));
        QVERIFY(rig.panel.FramesWithCommand(cmd::kFlashData).empty());
        const auto f = Bytes(fs.toStdString());
        QVERIFY(rig.panel.ReadFlash(0x00280000, uint32_t(f.size())) != f);
        QVERIFY(rig.sink.Messages().empty());
        QVERIFY(AllStartersEnabled(page, true));
    }

    // Tab from the first control reaches every control the user can work,
    // group by group, row by row, left to right.
    void tabFollowsTheReadingOrder() {
        PageRig rig(Folder());
        MaintenancePage* page = rig.page.get();
        page->show();
        page->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(page));
        const auto tabbable = [page](QWidget* w) {
            return w->isVisibleTo(page) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) &&
                   !w->focusProxy() && w->window() == page;
        };
        // Where a control sits: its group's place on the page, then its own.
        const auto place = [page](QWidget* w) {
            QWidget* group = w;
            while (group->parentWidget() != page)
                group = group->parentWidget();
            return std::pair{group->y(), QRect(w->mapTo(page, QPoint(0, 0)), w->size())};
        };
        const auto reads_before = [&](QWidget* a, QWidget* b) {
            const auto [ga, ra] = place(a);
            const auto [gb, rb] = place(b);
            if (ga != gb)
                return ga < gb;
            const bool same_row = ra.top() <= rb.bottom() && rb.top() <= ra.bottom();
            return same_row ? ra.left() < rb.left() : ra.top() < rb.top();
        };
        // Serial and network: each mode turns other fields on.
        for (int mode : {0, 1}) {
            Control<QComboBox>(page, page_names::kLinkModeChoice)->setCurrentIndex(mode);
            QWidget* first = nullptr;
            for (QWidget* w = page->nextInFocusChain(); w != page; w = w->nextInFocusChain()) {
                if (tabbable(w)) {
                    first = w;
                    break;
                }
            }
            QVERIFY(first);
            first->setFocus(Qt::TabFocusReason);
            QTRY_COMPARE(QApplication::focusWidget(), first);
            QList<QWidget*> order{first};
            for (int presses = 0; presses < 100; ++presses) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QWidget* now = QApplication::focusWidget();
                // A date or time field takes a Tab per section before it lets go.
                if (now == order.back())
                    continue;
                if (now == first)
                    break;
                QVERIFY2(!order.contains(now), qPrintable(Named(now)));
                QVERIFY2(reads_before(order.back(), now),
                         qPrintable(Named(order.back()) + QStringLiteral(" before ") + Named(now)));
                order << now;
            }
            QCOMPARE(QApplication::focusWidget(), first);
            // Every control that Tab may reach was reached.
            for (QWidget* w : page->findChildren<QWidget*>()) {
                if (tabbable(w))
                    QVERIFY2(order.contains(w), qPrintable(Named(w)));
            }
        }
    }

  private:
    QString WriteOneModel() {
        const QString models = temp_->filePath(QStringLiteral("XMLName.dat"));
        std::ofstream(models.toStdString())
            << "<ge><HMI_Types><HMI_Type id=\"1\" name=\"m\"><screen_size_cx>320</screen_size_cx>"
               "<screen_size_cy>240</screen_size_cy></HMI_Type></HMI_Types></ge>";
        return models;
    }
};

QTEST_MAIN(MaintenancePageTest)
#include "maintenance_page_test.moc"
