// The batch page against simulated panels on loopback: a batch with one
// panel failing, Cancel in mid-batch, the one gate shared with the
// maintenance page and the window, the CSV of one batch, and entries that
// are no panel.
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>

#include "link/texts.h"
#include "protocol/run_log.h"
#include "sim/panel_set.h"
#include "temp_profile.h"
#include "transfer/image_kind.h"
#include "widgets/batch_page.h"
#include "widgets/control_names.h"
#include "widgets/main_window.h"
#include "widgets/maintenance_page.h"
#include "widgets/panel_controller.h"
#include "widgets/percent_bar.h"
#include "widgets/user_prompts.h"
#include "widgets/window_language.h"
#include "widgets/window_texts.h"

using namespace korvane;
namespace names = korvane::batch_page_names;

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kLoopbackHost = 0x7F000001;

Bytes Pattern(size_t n, uint8_t seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>(i * 13 + seed + i / 509);
    return b;
}

// Panels served on consecutive ports of 127.0.0.1, a controller whose link
// points at the first, and the page over it.
struct BatchRig {
    explicit BatchRig(int count) : panels(count) {
        started = panels.StartUdp(kLoopbackHost, 0, sim::PanelLayout::kPorts, &error);
        controller.LoadSettings();
        CommSettings s = controller.settings();
        s.link_mode = 1;
        s.address = {127, 0, 0, 1};
        s.port = started ? panels.port(0) : 21845;
        controller.SaveSettings(s);
        controller.SetPoster([](PanelController::Job done) {
            QMetaObject::invokeMethod(qApp, std::move(done), Qt::QueuedConnection);
        });
        page = std::make_unique<BatchPage>(controller, prompts);
        view = page.get();
    }
    ~BatchRig() {
        page.reset();
        panels.Stop();
    }

    // Every panel of the set as one typed line.
    QString AllPanels() const {
        QStringList entries;
        for (int i = 0; i < panels.size(); ++i)
            entries << QStringLiteral("127.0.0.1:%1").arg(panels.port(i));
        return entries.join(QLatin1Char(' '));
    }
    QString Image(const Bytes& bytes, const QString& name) {
        const QString path = dir.filePath(name);
        std::ofstream(path.toStdString(), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    void ChooseKernel(const QString& path) {
        FindControl<QCheckBox>(view, names::kKernelCheck)->setChecked(true);
        FindControl<QLineEdit>(view, names::kKernelFileEdit)->setText(path);
    }
    bool StartAndWait(int limit_ms = 30000) {
        QSignalSpy finished(view, &BatchPage::BatchFinished);
        view->Start();
        if (!view->Running())
            return false;
        return finished.wait(limit_ms);
    }
    QString Cell(int row, BatchPage::Column column) const {
        const auto* table = FindControl<QTableWidget>(view, names::kPanels);
        const QTableWidgetItem* item = table->item(row, column);
        return item ? item->text() : QString();
    }
    PercentBar* Bar(int row) const {
        return FindControl<PercentBar>(
            view, (std::string(names::kRowProgressBar) + std::to_string(row + 1)).c_str());
    }
    Bytes Flashed(int panel, size_t n) {
        return panels.panel(panel).ReadFlash(ImageStartAddress(ImageKind::Kernel),
                                             static_cast<uint32_t>(n));
    }
    QString Summary() const { return FindControl<QLabel>(view, names::kSummaryLabel)->text(); }

    testing::TempProfile profile;
    QTemporaryDir dir;
    RecordingSink sink;
    ScriptedPrompts prompts;
    PanelController controller{
        sink, SettingsFile(dir.filePath(QStringLiteral("Para.dat")).toStdString())};
    sim::PanelSet panels;
    bool started = false;
    std::string error;
    std::unique_ptr<BatchPage> page;
    BatchPage* view = nullptr;  // the page, also once a window has taken it
};

std::vector<RunRecord> RecordsOf(const std::string& batch) {
    std::vector<RunRecord> out;
    for (const RunRecord& r : ReadRunLog(DefaultRunLogPath()).records) {
        if (r.batch && r.batch->id == batch)
            out.push_back(r);
    }
    return out;
}

QString Read(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

}  // namespace

class BatchPageTest : public QObject {
    Q_OBJECT

  private slots:
    void threePanelsOneFailingEachRowWithItsVerdict() {
        BatchRig rig(3);
        QVERIFY2(rig.started, rig.error.c_str());
        for (int i = 0; i < 3; ++i)
            rig.panels.panel(i).SetBurnMs(20);
        // Panel 3 reports every burn as failed.
        rig.panels.panel(2).FailNextFinals(1000);
        QCOMPARE(rig.page->AddEntries(rig.AllPanels()), QString());
        QCOMPARE(rig.page->RowCount(), 3);
        const Bytes image = Pattern(30000, 5);
        rig.ChooseKernel(rig.Image(image, QStringLiteral("zImage")));
        QVERIFY(rig.StartAndWait());

        QCOMPARE(rig.Cell(0, BatchPage::kResultColumn), QStringLiteral("成功"));
        QCOMPARE(rig.Cell(1, BatchPage::kResultColumn), QStringLiteral("成功"));
        QCOMPARE(rig.Cell(2, BatchPage::kResultColumn), QStringLiteral("失败"));
        QCOMPARE(rig.Cell(2, BatchPage::kMessageColumn), QStringLiteral("包校验错误,烧写失败"));
        QCOMPARE(rig.Cell(0, BatchPage::kMessageColumn), QString());
        for (int i : {0, 1}) {
            QCOMPARE(rig.Bar(i)->Position(), 100);
            QCOMPARE(rig.Bar(i)->Upper(), 100);
            QCOMPARE(rig.Flashed(i, image.size()), image);
        }
        QCOMPARE(rig.panels.panel(2).GoodFinalsSent(), 0);
        // A screen reader walking the table hears each row's progress, not an
        // empty cell where the bar is drawn.
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(
            rig.page->findChild<QTableWidget*>(names::kPanels));
        QVERIFY(table && table->tableInterface());
        for (int i : {0, 1}) {
            QAccessibleInterface* cell =
                table->tableInterface()->cellAt(i, BatchPage::kProgressColumn);
            QVERIFY(cell);
            QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("100%"));
        }
        QVERIFY2(rig.Summary().startsWith(QStringLiteral("共 3 台：成功 2，失败 1，取消 0（用时 ")),
                 qPrintable(rig.Summary()));
        // One record a panel, of this batch, saying the window ran it.
        const auto records = RecordsOf(rig.page->batch_id());
        QCOMPARE(records.size(), size_t{3});
        for (const RunRecord& r : records)
            QCOMPARE(r.front_end, FrontEnd::Window);
        // No box for any row: the table says it.
        QVERIFY(rig.prompts.texts().isEmpty());
        QVERIFY(!rig.controller.busy());
    }

    void cancelEndsEveryRowAndThePageIsUsableAgain() {
        BatchRig rig(4);
        QVERIFY2(rig.started, rig.error.c_str());
        // Three panels take long over their burn: Cancel comes while they
        // wait. The fourth serves the batch after.
        for (int i = 0; i < 3; ++i)
            rig.panels.panel(i).SetBurnMs(20000);
        rig.panels.panel(3).SetBurnMs(20);
        for (int i = 0; i < 3; ++i)
            rig.page->AddEntries(QStringLiteral("127.0.0.1:%1").arg(rig.panels.port(i)));
        rig.ChooseKernel(rig.Image(Pattern(8000, 1), QStringLiteral("zImage")));
        QSignalSpy finished(rig.page.get(), &BatchPage::BatchFinished);
        rig.page->Start();
        QVERIFY(rig.page->Running());
        auto* start = FindControl<QPushButton>(rig.page.get(), names::kStartButton);
        auto* cancel = FindControl<QPushButton>(rig.page.get(), names::kCancelButton);
        QVERIFY(!start->isEnabled());
        QVERIFY(cancel->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(
            rig.Cell(2, BatchPage::kResultColumn).startsWith(QStringLiteral("进行中")), 10000);
        QTest::qWait(300);
        QTest::mouseClick(cancel, Qt::LeftButton);
        QVERIFY(finished.wait(10000));
        for (int i = 0; i < 3; ++i) {
            const QString verdict = rig.Cell(i, BatchPage::kResultColumn);
            QVERIFY2(verdict == QStringLiteral("已取消") ||
                         verdict == QStringLiteral("未开始（已取消）") ||
                         verdict == QStringLiteral("成功"),
                     qPrintable(verdict));
        }
        QVERIFY2(rig.Summary().contains(QStringLiteral("取消 3")), qPrintable(rig.Summary()));
        QVERIFY(!rig.page->Running());
        QVERIFY(!rig.controller.busy());
        QTRY_VERIFY(start->isEnabled());
        QVERIFY(!cancel->isEnabled());
        QVERIFY(FindControl<QPushButton>(rig.page.get(), names::kAddButton)->isEnabled());
        // Usable again: the list changes, and the next batch runs through.
        FindControl<QPushButton>(rig.page.get(), names::kClearButton)->click();
        QCOMPARE(rig.page->RowCount(), 0);
        rig.page->AddEntries(QStringLiteral("127.0.0.1:%1").arg(rig.panels.port(3)));
        QVERIFY(rig.StartAndWait());
        QVERIFY2(rig.Summary().startsWith(QStringLiteral("共 1 台：成功 1，失败 0，取消 0")),
                 qPrintable(rig.Summary()));
    }

    void aBatchHoldsTheMaintenancePageSettingsLanguageAndClose() {
        BatchRig rig(2);
        QVERIFY2(rig.started, rig.error.c_str());
        for (int i = 0; i < 2; ++i)
            rig.panels.panel(i).SetBurnMs(20000);
        MainWindow window(rig.controller, rig.prompts);
        auto* maintenance = new MaintenancePage(rig.controller, rig.prompts);
        window.AddPage(QStringLiteral("系统处理"), QIcon(), maintenance);
        BatchPage* page = rig.page.release();
        window.AddPage(QStringLiteral("批量烧写"), QIcon(), page);
        window.show();
        page->AddEntries(rig.AllPanels());
        rig.ChooseKernel(rig.Image(Pattern(8000, 2), QStringLiteral("zImage")));
        QSignalSpy finished(page, &BatchPage::BatchFinished);
        page->Start();
        QVERIFY(page->Running());

        auto* get_address =
            FindControl<QPushButton>(maintenance, maintenance_page_names::kGetAddressButton);
        auto* kernel = FindControl<QPushButton>(maintenance, maintenance_page_names::kKernelButton);
        QTRY_VERIFY(!get_address->isEnabled());
        QVERIFY(!kernel->isEnabled());
        // Asked anyway (a script, a queued click), it refuses and says why.
        maintenance->ProgramImage(ImageKind::Kernel,
                                  rig.Image(Pattern(100, 3), "k2").toStdString());
        QVERIFY(!maintenance->Busy());
        const std::vector<TextId> ids = rig.sink.Ids();
        QVERIFY(std::find(ids.begin(), ids.end(), TextId::RunActive) != ids.end());
        QTRY_VERIFY(!FindControl<QPushButton>(&window, main_window_names::kLinkSettingsButton)
                         ->isEnabled());
        QVERIFY(!FindControl<QWidget>(&window, main_window_names::kLanguageChoice)->isEnabled());

        // Closing asks; "no" keeps the window and the batch.
        rig.prompts.AddAnswer(false);
        window.close();
        QCOMPARE(rig.prompts.questions().size(), 1);
        QCOMPARE(rig.prompts.questions().at(0), Translated(kBatchCancelQuestion));
        QVERIFY(window.isVisible());
        QVERIFY(page->Running());
        // "Yes" cancels the batch, and the window goes once it has ended.
        rig.prompts.AddAnswer(true);
        window.close();
        QVERIFY(finished.wait(10000));
        QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 5000);
        QTRY_VERIFY(get_address->isEnabled());
    }

    void aSingleRunHoldsStart() {
        BatchRig rig(1);
        QVERIFY2(rig.started, rig.error.c_str());
        rig.panels.panel(0).SetBurnMs(20000);
        MaintenancePage maintenance(rig.controller, rig.prompts);
        rig.page->AddEntries(rig.AllPanels());
        rig.ChooseKernel(rig.Image(Pattern(8000, 4), QStringLiteral("zImage")));
        QSignalSpy ended(&maintenance, &MaintenancePage::OperationFinished);
        maintenance.ProgramImage(
            ImageKind::Kernel, rig.Image(Pattern(8000, 6), QStringLiteral("single")).toStdString());
        QVERIFY(maintenance.FlashRunActive());
        auto* start = FindControl<QPushButton>(rig.page.get(), names::kStartButton);
        QTRY_VERIFY(!start->isEnabled());
        rig.page->Start();
        QVERIFY(!rig.page->Running());
        QVERIFY(rig.page->batch_id().empty());
        QCOMPARE(rig.prompts.texts(), QStringList{QString::fromUtf8(Text(TextId::RunActive))});
        rig.controller.CancelRun();
        QVERIFY(ended.wait(10000));
        QTRY_VERIFY(start->isEnabled());
    }

    void theExportHoldsOnlyThisBatch() {
        BatchRig rig(3);
        QVERIFY2(rig.started, rig.error.c_str());
        for (int i = 0; i < 3; ++i)
            rig.panels.panel(i).SetBurnMs(20);
        rig.ChooseKernel(rig.Image(Pattern(5000, 7), QStringLiteral("zImage")));
        // A first batch on panel 1 alone, then one on panels 2 and 3.
        rig.page->AddEntries(QStringLiteral("127.0.0.1:%1").arg(rig.panels.port(0)));
        QVERIFY(rig.StartAndWait());
        const std::string first = rig.page->batch_id();
        FindControl<QPushButton>(rig.page.get(), names::kClearButton)->click();
        rig.page->AddEntries(QStringLiteral("127.0.0.1:%1,127.0.0.1:%2")
                                 .arg(rig.panels.port(1))
                                 .arg(rig.panels.port(2)));
        QVERIFY(rig.StartAndWait());
        QVERIFY(rig.page->batch_id() != first);

        const QString csv = rig.dir.filePath(QStringLiteral("batch.csv"));
        rig.prompts.AddFile(csv);
        auto* export_button = FindControl<QPushButton>(rig.page.get(), names::kExportButton);
        QTRY_VERIFY(export_button->isEnabled());
        export_button->click();
        const QStringList lines = Read(csv).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[0].startsWith(QStringLiteral("time,front_end,target,")));
        for (int i : {1, 2}) {
            const QString target = QStringLiteral("127.0.0.1:%1").arg(rig.panels.port(i));
            QCOMPARE(lines.filter(QStringLiteral(",window,") + target + QLatin1Char(',')).size(),
                     1);
        }
        QVERIFY(!Read(csv).contains(QStringLiteral("127.0.0.1:%1,").arg(rig.panels.port(0))));
        QVERIFY(rig.prompts.texts().isEmpty());

        // A file that cannot be written says so, naming it.
        const QString nowhere = rig.dir.filePath(QStringLiteral("no-such-folder/batch.csv"));
        rig.prompts.AddFile(nowhere);
        export_button->click();
        QCOMPARE(rig.prompts.texts().size(), 1);
        QVERIFY2(rig.prompts.texts().at(0).startsWith(QStringLiteral("日志未能导出")),
                 qPrintable(rig.prompts.texts().at(0)));
        QVERIFY(rig.prompts.texts().at(0).contains(QStringLiteral("no-such-folder")));
    }

    void entriesThatAreNoPanelAreNamedAndKept() {
        BatchRig rig(1);
        auto* add_edit = FindControl<QLineEdit>(rig.page.get(), names::kAddEdit);
        add_edit->setText(QStringLiteral(
            "127.0.0.5 127.0.0.1:99999, panel7;127.0.0.9-7 /dev/ttyUSB0 10.0.0.1-3 127.0.0.5"));
        FindControl<QPushButton>(rig.page.get(), names::kAddButton)->click();
        // Taken: 127.0.0.5 once, the serial device, three of the range.
        QCOMPARE(rig.page->RowCount(), 5);
        // An address without a port takes the port of the link settings.
        const QString port = QString::number(rig.controller.settings().port);
        QCOMPARE(rig.Cell(0, BatchPage::kTargetColumn), QStringLiteral("127.0.0.5:") + port);
        QCOMPARE(rig.Cell(1, BatchPage::kTargetColumn), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(rig.Cell(4, BatchPage::kTargetColumn), QStringLiteral("10.0.0.3:") + port);
        // The rest stays in the field, each named in one message.
        QCOMPARE(add_edit->text(), QStringLiteral("127.0.0.1:99999 panel7 127.0.0.9-7"));
        QCOMPARE(rig.prompts.texts().size(), 1);
        const QString message = rig.prompts.texts().at(0);
        for (const char* bad : {"127.0.0.1:99999: 端口应为1到65535", "panel7: 不是IP地址",
                                "127.0.0.9-7: 不是地址范围"})
            QVERIFY2(message.contains(QString::fromUtf8(bad)), qPrintable(message));
    }

    void pastedLinesAndFoundPanelsAreListed() {
        // Three panels on 127.0.0.1-3 at one port, as on a network.
        sim::PanelSet found(3);
        std::string error;
        QVERIFY2(found.StartUdp(kLoopbackHost, 0, sim::PanelLayout::kAddresses, &error),
                 error.c_str());
        BatchRig rig(1);
        QVERIFY2(rig.started, rig.error.c_str());
        CommSettings s = rig.controller.settings();
        s.port = found.port(0);
        rig.controller.SaveSettings(s);

        QApplication::clipboard()->setText(
            QStringLiteral("127.0.0.2\n\n127.0.0.9:7000\r\n/dev/ttyS1\n"));
        FindControl<QPushButton>(rig.page.get(), names::kPasteButton)->click();
        QCOMPARE(rig.page->RowCount(), 3);
        QCOMPARE(rig.Cell(1, BatchPage::kTargetColumn), QStringLiteral("127.0.0.9:7000"));

        FindControl<QLineEdit>(rig.page.get(), names::kRangeEdit)
            ->setText(QStringLiteral("127.0.0.1-3"));
        QSignalSpy searched(rig.page.get(), &BatchPage::SearchFinished);
        rig.page->FindPanels();
        QVERIFY(searched.wait(10000));
        // 127.0.0.2 was listed already: the search adds the other two.
        QCOMPARE(rig.page->RowCount(), 5);
        const QString port = QString::number(found.port(0));
        QCOMPARE(rig.Cell(3, BatchPage::kTargetColumn), QStringLiteral("127.0.0.1:") + port);
        QCOMPARE(rig.Cell(4, BatchPage::kTargetColumn), QStringLiteral("127.0.0.3:") + port);
        QCOMPARE(FindControl<QLabel>(rig.page.get(), names::kStatusLabel)->text(),
                 QStringLiteral("找到 3 个面板。"));
        // A range that is none is named.
        FindControl<QLineEdit>(rig.page.get(), names::kRangeEdit)
            ->setText(QStringLiteral("127.0.0.1-"));
        rig.page->FindPanels();
        QVERIFY(rig.prompts.texts().value(0).contains(QStringLiteral("127.0.0.1-")));
        found.Stop();
    }

    void theSummaryCountsInBothLanguages() {
        std::vector<BatchRowResult> rows(1);
        QCOMPARE(BatchSummary(rows, 1500),
                 QStringLiteral("共 1 台：成功 1，失败 0，取消 0（用时 1.5 秒）"));
        WindowTranslation english(UiLanguage::English);
        QCOMPARE(BatchSummary(rows, 1500),
                 QStringLiteral("1 panel: 1 succeeded, 0 failed, 0 cancelled (1.5 s)"));
        rows.resize(3);
        rows[1].result = LinkResult::RunCancelled;
        rows[2].result = LinkResult::Timeout;
        QCOMPARE(BatchSummary(rows, 20),
                 QStringLiteral("3 panels: 1 succeeded, 1 failed, 1 cancelled (0.0 s)"));
    }

    void startSaysWhatIsMissing() {
        BatchRig rig(1);
        QVERIFY2(rig.started, rig.error.c_str());
        rig.page->Start();
        QCOMPARE(rig.prompts.texts().value(0), QStringLiteral("请先添加面板。"));
        rig.page->AddEntries(rig.AllPanels());
        rig.page->Start();
        QCOMPARE(rig.prompts.texts().value(1), QStringLiteral("请至少选择一个步骤。"));
        FindControl<QCheckBox>(rig.page.get(), names::kKernelCheck)->setChecked(true);
        rig.page->Start();
        QCOMPARE(rig.prompts.texts().value(2), QStringLiteral("请选择内核文件。"));
        const QString missing = rig.dir.filePath(QStringLiteral("gone/zImage"));
        rig.ChooseKernel(missing);
        rig.page->Start();
        QVERIFY2(rig.prompts.texts().value(3).startsWith(QStringLiteral("不能读取内核文件 ")) &&
                     rig.prompts.texts().value(3).contains(QStringLiteral("gone")),
                 qPrintable(rig.prompts.texts().value(3)));
        QVERIFY(!rig.page->Running());
        QVERIFY(rig.page->batch_id().empty());
        QVERIFY(rig.panels.panel(0).ReceivedFrames().empty());
    }
};

QTEST_MAIN(BatchPageTest)
#include "batch_page_test.moc"
