#include "widgets/batch_page.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTableWidget>
#include <QVBoxLayout>
#include <ctime>
#include <functional>
#include <set>
#include <sstream>

#include "discovery/discover_panels.h"
#include "logo/logo_from_picture.h"
#include "logo/qt_path.h"
#include "models/panel_models.h"
#include "protocol/run_log.h"
#include "protocol/run_log_csv.h"
#include "protocol/run_recorder.h"
#include "system/local_time.h"
#include "system/program_files.h"
#include "transfer/batch_targets.h"
#include "transfer/image_kind.h"
#include "widgets/control_names.h"
#include "widgets/desktop_progress_sink.h"
#include "widgets/maintenance_page.h"
#include "widgets/panel_controller.h"
#include "widgets/percent_bar.h"
#include "widgets/user_prompts.h"
#include "widgets/window_language.h"
#include "widgets/window_texts.h"

namespace korvane {

namespace fs = std::filesystem;
namespace names = batch_page_names;

namespace {

constexpr int kTimerMs = 200;

ClockValue LocalNow() {
    const std::tm tm = LocalTime(std::time(nullptr));
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

QPushButton* Button(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    return button;
}

QString EntryFault(BatchEntryFault fault) {
    switch (fault) {
        case BatchEntryFault::NotAnAddress:
            return QCoreApplication::translate("korvane::BatchPage", "不是IP地址");
        case BatchEntryFault::BadPort:
            return QCoreApplication::translate("korvane::BatchPage", "端口应为1到65535");
        case BatchEntryFault::BadRange:
            return QCoreApplication::translate("korvane::BatchPage",
                                               "不是地址范围A-B（最多1024个地址）");
    }
    return {};
}

QString NoteText(const BatchRowResult& r) {
    if (!r.note)
        return {};
    const UiLanguage language = WindowLanguage();
    if (r.note->id && r.note->values)
        return QString::fromStdString(FillText(*r.note->id, *r.note->values, language));
    if (r.note->id)
        return QString::fromUtf8(Text(*r.note->id, language));
    return QString::fromStdString(r.note->text);
}

QString Verdict(const BatchRowResult& r) {
    if (!r.started)
        return QCoreApplication::translate("korvane::BatchPage", "未开始（已取消）");
    if (r.result == LinkResult::Ok)
        return QCoreApplication::translate("korvane::BatchPage", "成功");
    if (r.result == LinkResult::RunCancelled)
        return QCoreApplication::translate("korvane::BatchPage", "已取消");
    return QCoreApplication::translate("korvane::BatchPage", "失败");
}

}  // namespace

QString BatchSummary(const std::vector<BatchRowResult>& results, int64_t ms) {
    int good = 0, failed = 0, cancelled = 0;
    for (const BatchRowResult& r : results) {
        if (r.result == LinkResult::Ok)
            ++good;
        else if (r.result == LinkResult::RunCancelled)
            ++cancelled;
        else
            ++failed;
    }
    const int panels = static_cast<int>(results.size());
    return QCoreApplication::translate("korvane::BatchPage",
                                       "共 %n 台：成功 %1，失败 %2，取消 %3（用时 %4 秒）", nullptr,
                                       panels)
        .arg(good)
        .arg(failed)
        .arg(cancelled)
        .arg(QString::number(static_cast<double>(ms) / 1000.0, 'f', 1));
}

// The rows' messages are kept by the core as each row's note, which the
// table shows: a box per panel would stop every other row behind it.
class BatchRowQuietSink : public MessageSink {
  public:
    void Show(MessageKind, std::string_view) override {}
};

// A row's bar shows its percentage only: the run's lines ("正在下载中...",
// the waits) are the same for every row and would not fit a table cell.
class RowBarFeed : public ProgressSink {
  public:
    explicit RowBarFeed(ProgressSink& bar) : bar_(bar) {}
    void MoveTo(int position) override { bar_.MoveTo(position); }
    void SetSpan(int lower, int upper) override { bar_.SetSpan(lower, upper); }
    void Step() override { bar_.Step(); }
    void SetText(std::string_view) override {}
    void ShowText(bool) override {}

  private:
    ProgressSink& bar_;
};

// What the page hears of a running batch. Called on the rows' threads: the
// bars take their progress there (they are made for it), everything else
// is queued to the page's thread. The page waits for the batch before it
// goes, so it is there whenever a row posts.
class BatchFeed : public BatchObserver {
  public:
    BatchFeed(BatchPage* page, std::vector<ProgressSink*> bars)
        : page_(page), bars_(std::move(bars)) {}

    MessageSink& RowSink(int) override { return quiet_; }
    ProgressSink& RowProgress(int row) override { return *bars_[static_cast<size_t>(row)]; }
    void RowStarted(int row) override {
        Post([row](BatchPage& p) { p.OnRowStarted(row); });
    }
    void StepStarted(int row, int step) override {
        Post([row, step](BatchPage& p) { p.OnStepStarted(row, step); });
    }
    void RowFinished(const BatchRowResult& result) override {
        Post([result](BatchPage& p) { p.ShowRow(result); });
    }

  private:
    template <typename F>
    void Post(F f) {
        BatchPage* page = page_;
        QMetaObject::invokeMethod(
            page, [page, f = std::move(f)] { f(*page); }, Qt::QueuedConnection);
    }

    BatchPage* page_;
    std::vector<ProgressSink*> bars_;
    BatchRowQuietSink quiet_;
};

BatchPage::BatchPage(PanelController& panel, UserPrompts& prompts, QWidget* parent)
    : QWidget(parent),
      panel_(panel),
      prompts_(prompts),
      models_file_(PanelModelsFileFor(RunningExecutable())),
      find_progress_(std::make_unique<NullProgress>()) {
    setObjectName(names::kPage);
    BuildControls();
    SetModelsFile(models_file_);
    // The panels a search looks for: the subnet of the link in use, as a
    // new panel (192.168.0.100) sits in the subnet of the machine.
    const auto& a = panel_.settings().address;
    range_edit_->setText(QStringLiteral("%1.%2.%3.1-254").arg(a[0]).arg(a[1]).arg(a[2]));
    timer_ = startTimer(kTimerMs);
    WatchWindow();
    UpdateEnabling();
}

BatchPage::~BatchPage() {
    // The rows post to this page and drive its bars: they end first.
    if (running_) {
        panel_.CancelRun();
        panel_.WaitIdle();
    }
    if (searching_)
        panel_.StopDiscover();
    if (watched_window_)
        watched_window_->removeEventFilter(this);
}

BatchPage::ImageStep BatchPage::AddImageStep(int row, const QString& caption,
                                             const char* check_name, const char* edit_name,
                                             const char* browse_name) {
    auto* group = findChild<QGroupBox*>(QString::fromLatin1(names::kStepsGroup));
    auto* grid = static_cast<QGridLayout*>(group->layout());
    ImageStep step;
    step.check = new QCheckBox(caption, group);
    step.check->setObjectName(check_name);
    step.file = new QLineEdit(group);
    step.file->setObjectName(edit_name);
    // The field has no caption of its own: it is named for its step.
    step.file->setAccessibleName(tr("%1文件").arg(caption));
    step.file->setPlaceholderText(step.file->accessibleName());
    step.browse = Button(group, browse_name, tr("浏览..."));
    grid->addWidget(step.check, row, 0);
    grid->addWidget(step.file, row, 1);
    grid->addWidget(step.browse, row, 2);
    return step;
}

void BatchPage::BuildControls() {
    // --- the panels ----------------------------------------------------------
    auto* panels_group = new QGroupBox(tr("面板", "the group of the batch's panels"), this);
    panels_group->setObjectName(names::kPanelsGroup);
    auto* pg = new QGridLayout(panels_group);
    auto* add_label = new QLabel(tr("添加面板:"), panels_group);
    add_edit_ = new QLineEdit(panels_group);
    add_edit_->setObjectName(names::kAddEdit);
    add_edit_->setPlaceholderText(tr("IP地址[:端口]、地址范围A-B或串口设备"));
    add_label->setBuddy(add_edit_);
    add_ = Button(panels_group, names::kAddButton, tr("添加"));
    paste_ = Button(panels_group, names::kPasteButton, tr("粘贴"));
    pg->addWidget(add_label, 0, 0);
    pg->addWidget(add_edit_, 0, 1);
    pg->addWidget(add_, 0, 2);
    pg->addWidget(paste_, 0, 3);
    auto* range_label = new QLabel(tr("查找范围:"), panels_group);
    range_edit_ = new QLineEdit(panels_group);
    range_edit_->setObjectName(names::kRangeEdit);
    range_label->setBuddy(range_edit_);
    find_ = Button(panels_group, names::kFindButton, tr("查找面板"));
    pg->addWidget(range_label, 1, 0);
    pg->addWidget(range_edit_, 1, 1);
    pg->addWidget(find_, 1, 2, 1, 2);

    table_ = new QTableWidget(0, 4, panels_group);
    table_->setObjectName(names::kPanels);
    table_->setAccessibleName(tr("面板列表"));
    table_->setHorizontalHeaderLabels({tr("面板"), tr("进度"), tr("结果"), tr("信息")});
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setColumnWidth(kTargetColumn, 140);
    table_->setColumnWidth(kProgressColumn, 120);
    table_->setColumnWidth(kResultColumn, 140);
    table_->setMinimumHeight(140);
    table_->setTabKeyNavigation(false);
    pg->addWidget(table_, 2, 0, 1, 4);
    auto* row_buttons = new QHBoxLayout;
    remove_ = Button(panels_group, names::kRemoveButton, tr("删除"));
    clear_ = Button(panels_group, names::kClearButton, tr("清空"));
    row_buttons->addWidget(remove_);
    row_buttons->addWidget(clear_);
    row_buttons->addStretch(1);
    pg->addLayout(row_buttons, 3, 0, 1, 4);
    pg->setColumnStretch(1, 1);
    status_ = new QLabel(panels_group);
    status_->setObjectName(names::kStatusLabel);
    status_->setWordWrap(true);
    pg->addWidget(status_, 4, 0, 1, 4);

    // --- the steps -----------------------------------------------------------
    auto* steps_group = new QGroupBox(tr("步骤"), this);
    steps_group->setObjectName(names::kStepsGroup);
    auto* sg = new QGridLayout(steps_group);
    sg->setColumnStretch(1, 1);
    boot_loader_ = AddImageStep(0, tr("引导程序"), names::kBootLoaderCheck,
                                names::kBootLoaderFileEdit, names::kBootLoaderBrowseButton);
    kernel_ = AddImageStep(1, tr("内核"), names::kKernelCheck, names::kKernelFileEdit,
                           names::kKernelBrowseButton);
    file_system_ = AddImageStep(2, tr("文件系统"), names::kFileSystemCheck,
                                names::kFileSystemFileEdit, names::kFileSystemBrowseButton);
    logo_ = AddImageStep(3, tr("LOGO"), names::kLogoCheck, names::kLogoPictureEdit,
                         names::kLogoBrowseButton);
    logo_.file->setAccessibleName(tr("LOGO图片"));
    logo_.file->setPlaceholderText(logo_.file->accessibleName());
    auto* model_label = new QLabel(tr("型号:"), steps_group);
    model_ = new QComboBox(steps_group);
    model_->setObjectName(names::kLogoModelChoice);
    model_label->setBuddy(model_);
    auto* model_row = new QHBoxLayout;
    model_row->addWidget(model_label);
    model_row->addWidget(model_, 1);
    sg->addLayout(model_row, 4, 1);
    clock_ = new QCheckBox(tr("设置时钟（本机当前时间）"), steps_group);
    clock_->setObjectName(names::kClockCheck);
    sg->addWidget(clock_, 5, 0, 1, 3);

    // --- the run -------------------------------------------------------------
    auto* run_row = new QHBoxLayout;
    start_ = Button(this, names::kStartButton, tr("开始"));
    cancel_ = Button(this, names::kCancelButton, tr("取消"));
    export_ = Button(this, names::kExportButton, tr("导出日志"));
    run_row->addWidget(start_);
    run_row->addWidget(cancel_);
    run_row->addWidget(export_);
    run_row->addStretch(1);
    summary_ = new QLabel(this);
    summary_->setObjectName(names::kSummaryLabel);
    summary_->setWordWrap(true);

    auto* page = new QVBoxLayout(this);
    page->addWidget(panels_group, 1);
    page->addWidget(steps_group);
    page->addLayout(run_row);
    page->addWidget(summary_);

    connect(add_, &QPushButton::clicked, this, &BatchPage::OnAdd);
    connect(add_edit_, &QLineEdit::returnPressed, this, &BatchPage::OnAdd);
    connect(paste_, &QPushButton::clicked, this, &BatchPage::OnPaste);
    connect(find_, &QPushButton::clicked, this, &BatchPage::FindPanels);
    connect(remove_, &QPushButton::clicked, this, &BatchPage::OnRemove);
    connect(clear_, &QPushButton::clicked, this, &BatchPage::OnClear);
    const QString images = WindowText(WindowTextId::ImageFileFilter);
    for (const ImageStep* step : {&boot_loader_, &kernel_, &file_system_}) {
        QLineEdit* edit = step->file;
        connect(step->browse, &QPushButton::clicked, this,
                [this, edit, images] { Browse(edit, images); });
    }
    connect(logo_.browse, &QPushButton::clicked, this, [this] {
        Browse(logo_.file, tr("图片 (*.bmp *.gif *.jpg *.jpeg *.png);;所有文件 (*)"));
    });
    connect(start_, &QPushButton::clicked, this, &BatchPage::Start);
    connect(cancel_, &QPushButton::clicked, this, &BatchPage::CancelBatch);
    connect(export_, &QPushButton::clicked, this, &BatchPage::ExportLog);
}

void BatchPage::SetModelsFile(std::optional<fs::path> file) {
    models_file_ = std::move(file);
    model_->clear();
    std::vector<PanelModel> models;
    if (models_file_)
        LoadPanelModels(*models_file_, models);
    for (const PanelModel& m : models) {
        model_->addItem(QString::fromStdU16String(m.name),
                        QVariant::fromValue(QSize(m.screen_width, m.screen_height)));
    }
}

void BatchPage::WatchWindow() {
    // Closing the main window is what must ask about a running batch.
    QWidget* top = window();
    if (top == this || top == watched_window_)
        return;
    if (watched_window_)
        watched_window_->removeEventFilter(this);
    watched_window_ = top;
    top->installEventFilter(this);
}

bool BatchPage::event(QEvent* event) {
    if (event->type() == QEvent::ParentChange)
        WatchWindow();
    return QWidget::event(event);
}

bool BatchPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == watched_window_ && event->type() == QEvent::Close && !ConfirmClose()) {
        event->ignore();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool BatchPage::ConfirmClose() {
    if (!running_)
        return true;
    if (!prompts_.Ask(Translated(kBatchCancelQuestion)))
        return false;
    // The window closes once the controller's job (this batch) has ended.
    panel_.CancelRun();
    return true;
}

void BatchPage::timerEvent(QTimerEvent* event) {
    if (event->timerId() != timer_) {
        QWidget::timerEvent(event);
        return;
    }
    UpdateEnabling();
    MirrorBars();
}

void BatchPage::MirrorBars() {
    for (int row = 0; row < RowCount(); ++row) {
        const PercentBar* bar = rows_[static_cast<size_t>(row)].bar;
        QTableWidgetItem* item = table_->item(row, kProgressColumn);
        if (!item) {
            item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            table_->setItem(row, kProgressColumn, item);
        }
        const QString text = bar->CurrentText();
        if (item->data(Qt::AccessibleTextRole).toString() != text)
            item->setData(Qt::AccessibleTextRole, text);
    }
}

void BatchPage::UpdateEnabling() {
    const bool idle = !running_;
    for (QWidget* w :
         {static_cast<QWidget*>(add_edit_), static_cast<QWidget*>(add_),
          static_cast<QWidget*>(paste_), static_cast<QWidget*>(remove_),
          static_cast<QWidget*>(clear_), static_cast<QWidget*>(boot_loader_.check),
          static_cast<QWidget*>(boot_loader_.file), static_cast<QWidget*>(boot_loader_.browse),
          static_cast<QWidget*>(kernel_.check), static_cast<QWidget*>(kernel_.file),
          static_cast<QWidget*>(kernel_.browse), static_cast<QWidget*>(file_system_.check),
          static_cast<QWidget*>(file_system_.file), static_cast<QWidget*>(file_system_.browse),
          static_cast<QWidget*>(logo_.check), static_cast<QWidget*>(logo_.file),
          static_cast<QWidget*>(logo_.browse), static_cast<QWidget*>(model_),
          static_cast<QWidget*>(clock_)}) {
        w->setEnabled(idle);
    }
    find_->setEnabled(idle && !searching_);
    range_edit_->setEnabled(idle && !searching_);
    // Another job (a run on the maintenance page) holds the controller.
    const bool other = !running_ && panel_.busy();
    start_->setEnabled(!running_ && !other);
    start_->setToolTip(other ? QString::fromUtf8(Text(TextId::RunActive, WindowLanguage()))
                             : QString());
    cancel_->setEnabled(running_);
    export_->setEnabled(idle && !batch_id_.empty());
}

void BatchPage::Refuse(const QString& text) {
    prompts_.ShowMessage(MessageKind::Error, text);
}

// --- the panels --------------------------------------------------------------

QString BatchPage::AddEntries(const QString& text) {
    const BatchEntries entries = ParseBatchEntries(
        text.toStdString(), panel_.settings().port ? panel_.settings().port : kDefaultPanelPort);
    std::set<std::string> listed;
    for (const Row& row : rows_)
        listed.insert(DescribeTarget(row.target));
    for (const LinkSettings& target : entries.targets) {
        if (rows_.size() >= kMaxBatchRange)
            break;
        if (listed.insert(DescribeTarget(target)).second)
            AddRow(target);
    }
    if (entries.problems.empty())
        return {};
    QStringList lines, kept;
    for (const BatchEntryProblem& p : entries.problems) {
        const QString entry = QString::fromStdString(p.entry);
        lines << QStringLiteral("%1: %2").arg(entry, EntryFault(p.fault));
        kept << entry;
    }
    Refuse(tr("以下输入不是面板（IP地址[:端口]、地址范围A-B或串口设备）：\n%1")
               .arg(lines.join(QLatin1Char('\n'))));
    return kept.join(QLatin1Char(' '));
}

void BatchPage::AddRow(const LinkSettings& target) {
    const int row = table_->rowCount();
    table_->insertRow(row);
    const QString name = QString::fromStdString(DescribeTarget(target));
    SetCell(row, kTargetColumn, name);
    SetCell(row, kResultColumn, QString());
    SetCell(row, kMessageColumn, QString());
    Row r;
    r.target = target;
    r.bar = new PercentBar(table_);
    r.bar->setObjectName(QString::fromLatin1(names::kRowProgressBar) + QString::number(row + 1));
    r.bar->setAccessibleName(tr("进度 %1").arg(name));
    r.bar->SetSpan(0, 100);
    r.bar->MoveTo(0);
    table_->setCellWidget(row, kProgressColumn, r.bar);
    r.sink = std::make_unique<DesktopProgressSink>(r.bar);
    r.feed = std::make_unique<RowBarFeed>(*r.sink);
    rows_.push_back(std::move(r));
}

void BatchPage::SetCell(int row, Column column, const QString& text) {
    QTableWidgetItem* item = table_->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        table_->setItem(row, column, item);
    }
    item->setText(text);
    item->setToolTip(text);
}

void BatchPage::OnAdd() {
    if (running_)
        return;
    add_edit_->setText(AddEntries(add_edit_->text()));
}

void BatchPage::OnPaste() {
    if (running_)
        return;
    const QString rejected = AddEntries(QApplication::clipboard()->text());
    // What was not taken waits in the field, to be mended.
    if (!rejected.isEmpty())
        add_edit_->setText(rejected);
}

void BatchPage::OnRemove() {
    if (running_)
        return;
    std::set<int, std::greater<>> chosen;
    for (const QModelIndex& index : table_->selectionModel()->selectedIndexes())
        chosen.insert(index.row());
    for (const int row : chosen) {
        table_->removeRow(row);
        rows_.erase(rows_.begin() + row);
    }
}

void BatchPage::OnClear() {
    if (running_)
        return;
    table_->setRowCount(0);
    rows_.clear();
}

void BatchPage::FindPanels() {
    if (running_ || searching_)
        return;
    const std::string text = range_edit_->text().trimmed().toStdString();
    const auto range = ParseAddressRange(text);
    if (!range) {
        Refuse(
            tr("查找范围无效：%1\n请输入地址范围，如 192.168.0.1-254。").arg(range_edit_->text()));
        return;
    }
    DiscoverOptions options;
    options.target = DiscoverOptions::Target::Range;
    options.range = *range;
    options.port = panel_.settings().port ? panel_.settings().port : kDefaultPanelPort;
    status_->setText(tr("正在查找面板..."));
    // `done` runs on the search's thread; the destructor stops the search,
    // so the page is still there when it posts.
    searching_ = panel_.Discover(options, *find_progress_, [this](DiscoverResult result) {
        QMetaObject::invokeMethod(
            this,
            [this, result = std::move(result)] {
                searching_ = false;
                QStringList found;
                for (const FoundPanel& p : result.panels)
                    found << QStringLiteral("%1:%2")
                                 .arg(QString::fromStdString(HostDotted(p.address)))
                                 .arg(p.port);
                AddEntries(found.join(QLatin1Char(' ')));
                status_->setText(
                    result.outcome == DiscoverOutcome::SocketFailed
                        ? tr("无法打开网络端口: %1").arg(QString::fromStdString(result.error))
                        : tr("找到 %1 个面板。").arg(result.panels.size()));
                UpdateEnabling();
                emit SearchFinished();
            },
            Qt::QueuedConnection);
    });
    if (!searching_)
        status_->clear();
    UpdateEnabling();
}

// --- the steps ---------------------------------------------------------------

void BatchPage::Browse(QLineEdit* edit, const QString& filter) {
    const QString folder =
        edit->text().isEmpty() ? QString() : QFileInfo(edit->text()).absolutePath();
    if (const auto chosen = prompts_.ChooseOpenFile(this, folder, filter, QString()))
        edit->setText(QDir::toNativeSeparators(*chosen));
}

std::optional<fs::path> BatchPage::MakeLogo() {
    const QString picture = logo_.file->text().trimmed();
    if (picture.isEmpty()) {
        Refuse(tr("请选择LOGO图片。"));
        return std::nullopt;
    }
    if (model_->currentIndex() < 0) {
        Refuse(tr("没有已知的触摸屏型号，不能生成LOGO文件。"));
        return std::nullopt;
    }
    const QSize screen = model_->currentData().toSize();
    const fs::path source = PathFromQString(picture);
    const LogoWriteResult written =
        WriteLogoFromPicture(source, 0, screen.width(), screen.height(), LogoFileFor(source));
    if (written.status == LogoWriteStatus::PictureUnreadable) {
        Refuse(
            WindowText(WindowTextId::PictureUndecodable)
                .arg(QDir::toNativeSeparators(picture), QString::fromStdString(written.message)));
        return std::nullopt;
    }
    if (!written.ok()) {
        Refuse(tr("不能写入LOGO文件: ") + PathToQString(written.logo_path));
        return std::nullopt;
    }
    return written.logo_path;
}

std::optional<std::vector<BatchStep>> BatchPage::ReadSteps() {
    struct Chosen {
        const ImageStep* step;
        ImageKind kind;
    };
    std::vector<BatchStep> steps;
    // The order a panel is best updated in: the boot loader before what it
    // starts, the logo and the clock last.
    for (const Chosen& c :
         {Chosen{&boot_loader_, ImageKind::BootLoader}, Chosen{&kernel_, ImageKind::Kernel},
          Chosen{&file_system_, ImageKind::FileSystem}, Chosen{&logo_, ImageKind::Logo}}) {
        if (!c.step->check->isChecked())
            continue;
        const QString caption = c.step->check->text();
        fs::path path;
        if (c.kind == ImageKind::Logo) {
            const auto logo = MakeLogo();
            if (!logo)
                return std::nullopt;
            path = *logo;
        } else {
            const QString text = c.step->file->text().trimmed();
            if (text.isEmpty()) {
                Refuse(tr("请选择%1文件。").arg(caption));
                return std::nullopt;
            }
            path = PathFromQString(text);
        }
        // Read once here, as korvane-cli's batch reads it: every panel gets
        // the same bytes, whatever happens to the file meanwhile.
        auto loaded = SharedImage::Load(path);
        if (const auto* ec = std::get_if<std::error_code>(&loaded)) {
            Refuse(tr("不能读取%1文件 %2：%3")
                       .arg(caption, PathToQString(path), QString::fromStdString(ec->message())));
            return std::nullopt;
        }
        auto image = std::get<std::shared_ptr<const SharedImage>>(std::move(loaded));
        const InputCheck check = CheckImageSize(c.kind, image->bytes().size());
        if (check.Refused() && !prompts_.Ask(InputQuestion(kImageConcern, check)))
            return std::nullopt;
        BatchStep step;
        step.kind = BatchStep::Kind::Flash;
        step.image_kind = c.kind;
        step.image = std::move(image);
        steps.push_back(std::move(step));
    }
    if (clock_->isChecked()) {
        BatchStep step;
        step.kind = BatchStep::Kind::SetClock;  // each panel at the time of its step
        steps.push_back(std::move(step));
    }
    if (steps.empty()) {
        Refuse(tr("请至少选择一个步骤。"));
        return std::nullopt;
    }
    return steps;
}

// --- the run -----------------------------------------------------------------

void BatchPage::Start() {
    if (running_)
        return;
    if (panel_.busy()) {
        Refuse(QString::fromUtf8(Text(TextId::RunActive, WindowLanguage())));
        return;
    }
    if (rows_.empty()) {
        Refuse(tr("请先添加面板。"));
        return;
    }
    auto steps = ReadSteps();
    if (!steps)
        return;
    std::vector<LinkSettings> targets;
    std::vector<ProgressSink*> bars;
    for (Row& row : rows_) {
        targets.push_back(row.target);
        bars.push_back(row.feed.get());
        row.steps = static_cast<int>(steps->size());
        row.bar->SetText(QString());
        row.bar->SetSpan(0, 100);
        row.bar->MoveTo(0);
    }
    for (int i = 0; i < RowCount(); ++i) {
        SetCell(i, kResultColumn, tr("等待"));
        SetCell(i, kMessageColumn, QString());
    }
    step_count_ = static_cast<int>(steps->size());
    // Every panel at once over the network, as korvane-cli's batch does.
    auto run = std::make_shared<BatchRun>(std::move(targets), std::move(*steps), 0, LocalNow);
    run->SetFrontEnd(FrontEnd::Window);
    auto feed = std::make_shared<BatchFeed>(this, std::move(bars));
    auto results = std::make_shared<std::vector<BatchRowResult>>();
    const std::string id = run->id();
    QPointer<BatchPage> self(this);
    running_ = panel_.RunInBackground(
        [run, feed, results](PanelWork& w) {
            run->CancelWhen(&w.cancel);
            *results = run->Run(*feed);
        },
        [self, results] {
            if (self)
                self->OnBatchEnded(*results);
        });
    if (!running_) {
        Refuse(QString::fromUtf8(Text(TextId::RunActive, WindowLanguage())));
        return;
    }
    batch_id_ = id;
    started_ = std::chrono::steady_clock::now();
    summary_->setText(tr("正在烧写 %n 台面板...", nullptr, RowCount()));
    status_->clear();
    UpdateEnabling();
}

void BatchPage::CancelBatch() {
    if (running_)
        panel_.CancelRun();
}

void BatchPage::OnRowStarted(int row) {
    if (row < RowCount())
        SetCell(row, kResultColumn, tr("进行中"));
}

void BatchPage::OnStepStarted(int row, int step) {
    if (row < RowCount())
        SetCell(row, kResultColumn, tr("进行中（第 %1/%2 步）").arg(step + 1).arg(step_count_));
}

void BatchPage::ShowRow(const BatchRowResult& r) {
    if (r.row >= RowCount())
        return;
    SetCell(r.row, kResultColumn, Verdict(r));
    SetCell(r.row, kMessageColumn, NoteText(r));
    PercentBar* bar = rows_[static_cast<size_t>(r.row)].bar;
    if (r.result == LinkResult::Ok) {
        // Each step clears the bar when it ends; a panel done shows done.
        bar->SetText(QString());
        bar->SetSpan(0, 100);
        bar->MoveTo(100);
    }
    MirrorBars();
}

void BatchPage::OnBatchEnded(const std::vector<BatchRowResult>& results) {
    running_ = false;
    // Rows cancelled before their turn never reported: the results say it.
    for (const BatchRowResult& r : results)
        ShowRow(r);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - started_)
                        .count();
    summary_->setText(BatchSummary(results, ms));
    UpdateEnabling();
    emit BatchFinished();
}

void BatchPage::ExportLog() {
    if (running_ || batch_id_.empty())
        return;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString suggested = QDir(folder).filePath(
        QStringLiteral("korvane-batch-%1.csv").arg(QString::fromStdString(batch_id_)));
    const auto chosen = prompts_.ChooseSaveFile(this, suggested, tr("CSV 文件 (*.csv)"));
    if (!chosen)
        return;
    const fs::path log_path = DefaultRunLogPath();
    const RunLogContents log = ReadRunLog(log_path);
    if (log.error) {
        Refuse(tr("不能读取运行记录 %1：%2")
                   .arg(PathToQString(log_path), QString::fromStdString(log.error.message())));
        return;
    }
    std::vector<const RunRecord*> mine;
    for (const RunRecord& r : log.records) {
        if (r.batch && r.batch->id == batch_id_)
            mine.push_back(&r);
    }
    std::ostringstream csv;
    WriteRunLogCsv(csv, mine);
    const std::string bytes = csv.str();
    QSaveFile file(*chosen);
    const bool written = file.open(QIODevice::WriteOnly) &&
                         file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
                             static_cast<qint64>(bytes.size()) &&
                         file.commit();
    if (!written) {
        Refuse(tr("日志未能导出：无法写入 %1（%2）。")
                   .arg(QDir::toNativeSeparators(*chosen), file.errorString()));
        return;
    }
    status_->setText(
        tr("已导出 %1 条记录到 %2").arg(mine.size()).arg(QDir::toNativeSeparators(*chosen)));
}

}  // namespace korvane
