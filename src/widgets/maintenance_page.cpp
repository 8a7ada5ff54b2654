#include "widgets/maintenance_page.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTime>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <memory>
#include <thread>

#include "logo/logo_from_picture.h"
#include "logo/logo_place.h"
#include "logo/qt_path.h"
#include "models/panel_models.h"
#include "system/display_path.h"
#include "system/file_read_check.h"
#include "system/program_files.h"
#include "transfer/firmware_run.h"
#include "transfer/transfer_figures.h"
#include "widgets/app_profile.h"
#include "widgets/control_names.h"
#include "widgets/desktop_progress_sink.h"
#include "widgets/ip_address_edit.h"
#include "widgets/link_settings_dialog.h"
#include "widgets/logo_picker_dialog.h"
#include "widgets/panel_controller.h"
#include "widgets/percent_bar.h"
#include "widgets/user_prompts.h"
#include "widgets/window_language.h"
#include "widgets/window_texts.h"

namespace korvane {

namespace {

namespace fs = std::filesystem;
namespace names = maintenance_page_names;

constexpr int kTimerMs = 200;
constexpr char kProfileSection[] = "Maintenance";

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

IpAddressEdit* AddressEdit(QWidget* parent, const char* name) {
    auto* edit = new IpAddressEdit(parent);
    edit->setObjectName(name);
    // Four whole octet fields, however narrow the page gets, and no wider
    // however wide it gets: the dots would drift apart.
    edit->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return edit;
}

QLineEdit* PlainEdit(QWidget* parent, const char* name, const char* text) {
    auto* edit = new QLineEdit(QString::fromLatin1(text), parent);
    edit->setObjectName(name);
    return edit;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    return button;
}

// A label with its buddy, placed in one grid row.
void LabelledRow(QGridLayout* grid, int row, int column, const QString& caption, QWidget* field) {
    auto* label = new QLabel(caption, field->parentWidget());
    label->setBuddy(field);
    grid->addWidget(label, row, column);
    grid->addWidget(field, row, column + 1);
}

// The reasons in the window's language, one a line.
QString Lines(const std::vector<InputReason>& reasons) {
    QStringList out;
    for (const InputReason& reason : reasons)
        out << QString::fromStdString(reason.Text(WindowLanguage()));
    return out.join(QLatin1Char('\n'));
}

}  // namespace

QString InputQuestion(const char* concern, const InputCheck& check) {
    // Warnings go into the question too: one box says everything.
    std::vector<InputReason> reasons = check.refusals;
    reasons.insert(reasons.end(), check.warnings.begin(), check.warnings.end());
    return Translated(concern) + QLatin1Char('\n') + Lines(reasons) + QLatin1Char('\n') +
           Translated(kSendAnyway);
}

std::optional<uint16_t> ParseNewPanelPort(const QString& text) {
    // The settings dialog's reading, without 0 (and so without an empty text).
    const std::optional<int> port = ParseDialogPort(text);
    if (!port || *port < 1)
        return std::nullopt;
    return static_cast<uint16_t>(*port);
}

// ---------------------------------------------------------------------------

void PageProgress::Begin(uint64_t total_bytes) {
    total_.store(total_bytes);
    sending_.store(false);
}

void PageProgress::MoveTo(int position) {
    position_.store(position);
    bar_.MoveTo(position);
}

void PageProgress::SetSpan(int lower, int upper) {
    lower_.store(lower);
    upper_.store(upper);
    position_.store(lower);
    started_ns_.store(NowNs());
    sending_.store(upper > lower);
    bar_.SetSpan(lower, upper);
}

void PageProgress::Step() {
    position_.fetch_add(1);
    bar_.Step();
}

void PageProgress::SetText(std::string_view text) {
    // The run clears its bar when it ends: the figures go with it.
    if (text.empty())
        sending_.store(false);
    bar_.SetText(text);
}

std::string PageProgress::FiguresText(UiLanguage language) const {
    if (!sending_.load() || total_.load() == 0)
        return {};
    const int lower = lower_.load(), upper = upper_.load();
    const double done = upper > lower ? double(position_.load() - lower) / (upper - lower) : 0;
    const double seconds = double(NowNs() - started_ns_.load()) / 1e9;
    return TransferFiguresText(MeasureTransfer(done, total_.load(), seconds), language);
}

// ---------------------------------------------------------------------------

MaintenancePage::MaintenancePage(PanelController& panel, UserPrompts& prompts, QWidget* parent)
    : AnchoredDialog(parent),
      panel_(panel),
      prompts_(prompts),
      models_file_(PanelModelsFileFor(RunningExecutable())) {
    setObjectName(names::kPage);
    // A page inside the main window, not a window of its own.
    setWindowFlags(Qt::Widget);
    BuildControls();
    bar_sink_ = std::make_unique<DesktopProgressSink>(bar_);
    progress_ = std::make_unique<PageProgress>(*bar_sink_);
    run_picker_ = [](LogoPickerDialog& dialog) { return dialog.exec(); };

    const auto profile = AppProfile::Open();
    picture_path_ = profile->value(QStringLiteral("%1/Picture").arg(kProfileSection)).toString();
    picture_colour_ = profile->value(QStringLiteral("%1/Colour").arg(kProfileSection), 0u).toUInt();
    OpenPage();
}

MaintenancePage::~MaintenancePage() {
    if (busy_) {
        panel_.CancelRun();
        WaitUntilIdle();
    }
    if (watched_window_)
        watched_window_->removeEventFilter(this);
}

void MaintenancePage::BuildControls() {
    // --- panel IP/port -----------------------------------------------------
    auto* address_group = new QGroupBox(tr("HMI IP/PORT 操作"), this);
    address_group->setObjectName(names::kAddressGroup);
    auto* ag = new QGridLayout(address_group);
    link_choice_ = new QComboBox(address_group);
    link_choice_->setObjectName(names::kLinkModeChoice);
    com_choice_ = new QComboBox(address_group);
    com_choice_->setObjectName(names::kComPortChoice);
    link_ip_ = AddressEdit(address_group, names::kLinkIpEdit);
    link_port_ = PlainEdit(address_group, names::kLinkPortEdit, "");
    LabelledRow(ag, 0, 0, tr("通讯方式:"), link_choice_);
    LabelledRow(ag, 0, 2, QStringLiteral("COM Port:"), com_choice_);
    LabelledRow(ag, 1, 0, QStringLiteral("IP:"), link_ip_);
    LabelledRow(ag, 1, 2, QStringLiteral("PORT:"), link_port_);

    panel_ip_ = AddressEdit(address_group, names::kPanelIpEdit);
    panel_ip_->setEnabled(false);
    panel_port_ = PlainEdit(address_group, names::kPanelPortEdit, "");
    panel_port_->setEnabled(false);
    get_address_ = Button(address_group, names::kGetAddressButton, tr("获取"));
    LabelledRow(ag, 2, 0, QStringLiteral("IP:"), panel_ip_);
    LabelledRow(ag, 2, 2, QStringLiteral("PORT:"), panel_port_);
    ag->addWidget(get_address_, 2, 4);

    new_ip_ = AddressEdit(address_group, names::kNewIpEdit);
    new_port_ = PlainEdit(address_group, names::kNewPortEdit, "");
    gateway_ = AddressEdit(address_group, names::kGatewayEdit);
    mask_ = AddressEdit(address_group, names::kMaskEdit);
    set_address_ = Button(address_group, names::kSetAddressButton, tr("更新"));
    LabelledRow(ag, 3, 0, QStringLiteral("IP:"), new_ip_);
    LabelledRow(ag, 3, 2, QStringLiteral("PORT:"), new_port_);
    LabelledRow(ag, 4, 0, tr("网关:"), gateway_);
    LabelledRow(ag, 5, 0, tr("子网掩码:"), mask_);
    ag->addWidget(set_address_, 5, 4);
    // Spare width goes to an empty last column, not to the fields.
    ag->setColumnStretch(5, 1);
    // Ports and the COM list need little room; the address fields take the rest.
    const int narrow = fontMetrics().horizontalAdvance(QStringLiteral("串口99")) + 40;
    for (QWidget* w : {static_cast<QWidget*>(com_choice_), static_cast<QWidget*>(link_port_),
                       static_cast<QWidget*>(panel_port_), static_cast<QWidget*>(new_port_)}) {
        w->setMaximumWidth(narrow);
    }

    // --- MAC (kept hidden; korvane-cli change-mac offers it) ----------------
    auto* mac_group = new QGroupBox(tr("HMI MAC地址操作"), this);
    mac_group->setObjectName(names::kMacGroup);
    auto* mg = new QHBoxLayout(mac_group);
    change_mac_ = Button(mac_group, names::kChangeMacButton, tr("更改MAC地址"));
    mg->addWidget(change_mac_);
    mac_group_ = mac_group;

    // --- clock -------------------------------------------------------------
    auto* clock_group = new QGroupBox(tr("HMI 时间操作"), this);
    clock_group->setObjectName(names::kClockGroup);
    auto* cg = new QGridLayout(clock_group);
    clock_text_ = PlainEdit(clock_group, names::kPanelClockEdit, "");
    clock_text_->setEnabled(false);
    get_clock_ = Button(clock_group, names::kGetClockButton, tr("获取"));
    new_date_ = new QDateEdit(QDate::currentDate(), clock_group);
    new_date_->setObjectName(names::kNewDateEdit);
    new_date_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    new_date_->setCalendarPopup(true);
    new_time_ = new QTimeEdit(QTime::currentTime(), clock_group);
    new_time_->setObjectName(names::kNewTimeEdit);
    new_time_->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    set_clock_ = Button(clock_group, names::kSetClockButton, tr("更新"));
    LabelledRow(cg, 0, 0, tr("面板时间:"), clock_text_);
    cg->addWidget(get_clock_, 0, 4);
    LabelledRow(cg, 1, 0, tr("日期:"), new_date_);
    LabelledRow(cg, 1, 2, tr("时间:"), new_time_);
    cg->addWidget(set_clock_, 1, 4);
    // As for the addresses: the fields keep their width, spare room is left over.
    cg->setColumnStretch(5, 1);

    // --- flash ---------------------------------------------------------------
    auto* flash_group = new QGroupBox(tr("HMI Flash 操作"), this);
    flash_group->setObjectName(names::kFlashGroup);
    auto* fg = new QGridLayout(flash_group);
    boot_loader_ = Button(flash_group, names::kBootLoaderButton, tr("更新BootLoader"));
    kernel_ = Button(flash_group, names::kKernelButton, tr("更新内核"));
    logo_ = Button(flash_group, names::kLogoButton, tr("更新LOGO"));
    erase_ = Button(flash_group, names::kEraseButton, tr("擦除Flash"));
    more_ = new QPushButton(tr("更多…"), flash_group);
    more_->setObjectName(names::kMoreButton);
    more_menu_ = new QMenu(more_);
    QAction* end_download = more_menu_->addAction(tr("结束下载"));
    end_download->setObjectName(names::kEndDownloadAction);
    QAction* enter_download = more_menu_->addAction(tr("进入下载"));
    enter_download->setObjectName(names::kEnterDownloadAction);
    QAction* file_system = more_menu_->addAction(tr("更新文件系统"));
    file_system->setObjectName(names::kFileSystemAction);
    more_->setMenu(more_menu_);
    auto* buttons = new QHBoxLayout;
    for (QWidget* b : {static_cast<QWidget*>(boot_loader_), static_cast<QWidget*>(kernel_),
                       static_cast<QWidget*>(logo_), static_cast<QWidget*>(erase_),
                       static_cast<QWidget*>(more_)}) {
        // Room for the whole caption: the fallback CJK font runs wider than the hint.
        b->setMinimumWidth(b->sizeHint().width() +
                           b->fontMetrics().horizontalAdvance(QStringLiteral("  ")));
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    fg->addLayout(buttons, 0, 0, 1, 3);

    bar_ = new PercentBar(flash_group);
    bar_->setObjectName(names::kRunProgressBar);
    cancel_ = Button(flash_group, names::kCancelButton, tr("取消"));
    auto* bar_label = new QLabel(tr("操作状态:"), flash_group);
    bar_label->setBuddy(bar_);
    fg->addWidget(bar_label, 1, 0);
    fg->addWidget(bar_, 1, 1);
    fg->addWidget(cancel_, 1, 2);
    fg->setColumnStretch(1, 1);
    figures_ = new QLabel(flash_group);
    figures_->setObjectName(names::kRunFiguresLabel);
    fg->addWidget(figures_, 2, 1, 1, 2);

    auto* page = new QVBoxLayout(this);
    page->addWidget(address_group);
    page->addWidget(mac_group);
    page->addWidget(clock_group);
    page->addWidget(flash_group);
    page->addStretch(1);

    connect(link_choice_, &QComboBox::currentIndexChanged, this, &MaintenancePage::OnLinkChoice);
    connect(get_address_, &QPushButton::clicked, this, &MaintenancePage::OnGetAddress);
    connect(set_address_, &QPushButton::clicked, this, &MaintenancePage::OnSetAddress);
    connect(get_clock_, &QPushButton::clicked, this, &MaintenancePage::OnGetClock);
    connect(set_clock_, &QPushButton::clicked, this, &MaintenancePage::OnSetClock);
    connect(erase_, &QPushButton::clicked, this, &MaintenancePage::OnEraseFlash);
    connect(kernel_, &QPushButton::clicked, this, &MaintenancePage::OnKernel);
    connect(boot_loader_, &QPushButton::clicked, this, &MaintenancePage::OnBootLoader);
    connect(logo_, &QPushButton::clicked, this, &MaintenancePage::OnLogo);
    connect(cancel_, &QPushButton::clicked, this, &MaintenancePage::OnCancel);
    connect(end_download, &QAction::triggered, this, &MaintenancePage::OnEndDownload);
    connect(enter_download, &QAction::triggered, this, &MaintenancePage::OnEnterDownload);
    connect(file_system, &QAction::triggered, this, &MaintenancePage::OnFileSystem);
}

void MaintenancePage::OpenPage() {
    mac_group_->hide();
    change_mac_->hide();
    new_ip_->setText(QStringLiteral("192.168.0.100"));
    new_port_->setText(QStringLiteral("21845"));
    gateway_->setText(QStringLiteral("192.168.0.1"));
    mask_->setText(QStringLiteral("255.255.255.0"));
    {
        QSignalBlocker quiet(link_choice_);
        link_choice_->insertItem(0, tr("网口"));
        link_choice_->insertItem(0, tr("串口"));
        link_choice_->setCurrentIndex(0);
    }
    link_port_->setEnabled(false);
    link_ip_->setEnabled(false);
    for (int i = 1; i <= 9; ++i)
        com_choice_->addItem(tr("串口") + QString::number(i));
    com_choice_->setCurrentIndex(0);
    panel_.ClearCancel();
    timer_ = startTimer(kTimerMs);
    UpdateEnabling();
}

void MaintenancePage::OnLinkChoice(int index) {
    // Display only: every operation uses the link of the settings.
    const bool network = index == 1;
    com_choice_->setEnabled(!network);
    link_port_->setEnabled(network);
    link_ip_->setEnabled(network);
}

void MaintenancePage::timerEvent(QTimerEvent* event) {
    if (event->timerId() != timer_) {
        AnchoredDialog::timerEvent(event);
        return;
    }
    UpdateEnabling();
    const QString figures = QString::fromStdString(progress_->FiguresText(WindowLanguage()));
    // Once data goes out the figures say more than a note from before.
    if (!figures.isEmpty())
        status_note_.clear();
    figures_->setText(figures.isEmpty() ? status_note_ : figures);
}

void MaintenancePage::UpdateEnabling() {
    // The controller's job may be another page's (a batch): this page then
    // refuses work as during its own.
    const bool idle = !busy_ && !panel_.busy();
    for (QWidget* w : {static_cast<QWidget*>(get_address_), static_cast<QWidget*>(set_address_),
                       static_cast<QWidget*>(new_ip_), static_cast<QWidget*>(new_port_),
                       static_cast<QWidget*>(gateway_), static_cast<QWidget*>(mask_),
                       static_cast<QWidget*>(get_clock_), static_cast<QWidget*>(set_clock_),
                       static_cast<QWidget*>(boot_loader_), static_cast<QWidget*>(kernel_),
                       static_cast<QWidget*>(logo_), static_cast<QWidget*>(erase_),
                       static_cast<QWidget*>(more_), static_cast<QWidget*>(change_mac_)}) {
        w->setEnabled(idle);
    }
    cancel_->setEnabled(FlashRunActive());
}

MessageSink& MaintenancePage::Messages() {
    return panel_.sink();
}

void MaintenancePage::Launch(bool flash_run, PanelController::Work work,
                             std::function<void()> then) {
    busy_ = true;
    flash_run_ = flash_run;
    status_note_.clear();
    UpdateEnabling();
    // Whether the run ended by Cancel: the worker writes it before the job
    // ends, `done` reads it after.
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    auto watched = [work = std::move(work), cancelled](PanelWork& w) {
        work(w);
        w.session.WaitForRun();
        cancelled->store(w.session.result() == LinkResult::RunCancelled);
    };
    // The controller posts `done` to this thread; a page already gone (its
    // window closed while the report was on its way) takes no report.
    QPointer<MaintenancePage> self(this);
    const bool started =
        panel_.RunInBackground(std::move(watched), [self, cancelled, then = std::move(then)] {
            if (!self)
                return;
            self->busy_ = false;
            self->flash_run_ = false;
            if (then)
                then();
            // A cancelled run leaves part of an image on the panel: say so where
            // the run was followed, without a box.
            if (cancelled->load())
                self->status_note_ = WindowText(WindowTextId::RunCancelled);
            self->figures_->setText(self->status_note_);
            self->UpdateEnabling();
            emit self->OperationFinished();
        });
    if (!started) {
        // Other panel work (a batch) holds the controller: say so rather
        // than let the click do nothing.
        busy_ = false;
        flash_run_ = false;
        UpdateEnabling();
        Messages().ShowText(MessageKind::Error, TextId::RunActive);
    }
}

void MaintenancePage::WaitUntilIdle() {
    if (!busy_)
        return;
    // Boxes a worker shows come to this thread: keep serving them.
    QEventLoop loop;
    connect(this, &MaintenancePage::OperationFinished, &loop, &QEventLoop::quit);
    // Should the job's report never come (a poster that drops it), the
    // controller's own flag ends the wait.
    QTimer idle;
    int idle_ticks = 0;
    connect(&idle, &QTimer::timeout, &loop, [&] {
        idle_ticks = panel_.busy() ? 0 : idle_ticks + 1;
        if (idle_ticks >= 3)
            loop.quit();
    });
    idle.start(50);
    loop.exec();
    busy_ = false;
    flash_run_ = false;
    UpdateEnabling();
}

std::optional<NetworkTexts> MaintenancePage::ReadNetworkTexts() {
    const auto port = ParseNewPanelPort(new_port_->text());
    if (!port) {
        Messages().Show(MessageKind::Error, Translated(kInvalidPort).toStdString());
        return std::nullopt;
    }
    return NetworkTextsWith(*port);
}

std::optional<NetworkTexts> MaintenancePage::WholeNetworkTexts() const {
    const auto port = ParseNewPanelPort(new_port_->text());
    if (!port || !new_ip_->IsComplete() || !gateway_->IsComplete() || !mask_->IsComplete())
        return std::nullopt;
    return NetworkTextsWith(*port);
}

NetworkTexts MaintenancePage::NetworkTextsWith(uint16_t port) const {
    NetworkTexts t;
    t.ip = new_ip_->text().toStdString();
    t.port = std::to_string(port);
    t.gateway = gateway_->text().toStdString();
    t.mask = mask_->text().toStdString();
    return t;
}

bool MaintenancePage::ConfirmInput(const InputCheck& check, const char* concern) {
    if (check.Refused())
        return prompts_.Ask(InputQuestion(concern, check));
    if (!check.warnings.empty()) {
        Messages().Show(
            MessageKind::Warning,
            (Translated(kInputWarning) + QLatin1Char('\n') + Lines(check.warnings)).toStdString());
    }
    return true;
}

void MaintenancePage::OnGetAddress() {
    auto result = std::make_shared<std::optional<PanelAddress>>();
    Launch(
        false, [result](PanelWork& w) { *result = GetPanelAddress(w.session); },
        [this, result] {
            if (!*result)
                return;
            panel_ip_->setText(QString::fromStdString((*result)->IpText()));
            panel_port_->setText(QString::number((*result)->port));
        });
}

void MaintenancePage::OnSetAddress() {
    const auto texts = ReadNetworkTexts();
    if (!texts || !ConfirmInput(CheckPanelNetwork(texts->ToRecord()), kNetworkConcern))
        return;
    Launch(false,
           [values = *texts](PanelWork& w) { SetPanelAddress(w.session, values, &w.settings); });
}

void MaintenancePage::OnGetClock() {
    auto result = std::make_shared<std::optional<ClockValue>>();
    Launch(
        false,
        [result, values = WholeNetworkTexts()](PanelWork& w) {
            *result = GetPanelClock(w.session, values ? &*values : nullptr, &w.settings);
        },
        [this, result] {
            if (*result)
                clock_text_->setText(QString::fromStdString((*result)->Text()));
        });
}

void MaintenancePage::OnSetClock() {
    const QDate d = new_date_->date();
    const QTime t = new_time_->time();
    const ClockValue when{d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()};
    if (!ConfirmInput(CheckPanelClock(when), kClockConcern))
        return;
    Launch(false, [when, values = WholeNetworkTexts()](PanelWork& w) {
        SetPanelClock(w.session, when, values ? &*values : nullptr, &w.settings);
    });
}

void MaintenancePage::OnEndDownload() {
    Launch(false, [](PanelWork& w) { RunEndDownload(w.session); });
}

void MaintenancePage::OnEnterDownload() {
    Launch(false, [](PanelWork& w) { RunEnterDownload(w.session); });
}

void MaintenancePage::OnEraseFlash() {
    progress_->Begin(0);
    Launch(true, [this](PanelWork& w) {
        if (StartEraseFlash(w.session, *progress_))
            w.session.WaitForRun();
    });
}

void MaintenancePage::OnCancel() {
    panel_.CancelRun();
}

void MaintenancePage::OnKernel() {
    ChooseAndProgram(ImageKind::Kernel);
}
void MaintenancePage::OnBootLoader() {
    ChooseAndProgram(ImageKind::BootLoader);
}
void MaintenancePage::OnFileSystem() {
    ChooseAndProgram(ImageKind::FileSystem);
}

void MaintenancePage::ChooseAndProgram(ImageKind kind) {
    const QString folder_key = QStringLiteral("%1/ImageFolder").arg(kProfileSection);
    const QString folder = AppProfile::Open()->value(folder_key).toString();
    // Every file, and a name typed without a dot is taken as it is.
    const auto chosen =
        prompts_.ChooseOpenFile(this, folder, WindowText(WindowTextId::ImageFileFilter), QString());
    if (!chosen)
        return;
    const QFileInfo file(*chosen);
    AppProfile::Open()->setValue(folder_key, file.absolutePath());
    // A file that is not there is left to the run, which says so. What is
    // no regular file, or cannot be measured, is refused before the empty
    // image warning could mislead.
    if (file.exists()) {
        if (const std::error_code ec = CheckMeasurable(PathFromQString(*chosen))) {
            Messages().Show(MessageKind::Error,
                            (tr("读取文件失败: ") + *chosen).toStdString() + ": " + ec.message());
            return;
        }
    }
    if (file.exists() && !ConfirmInput(CheckImageSize(kind, uint64_t(file.size())), kImageConcern))
        return;
    // The file-system image is large and its checks slow: say what happens.
    ProgramImage(kind, PathFromQString(*chosen),
                 kind == ImageKind::FileSystem ? Translated(kConfiguringLink) : QString());
}

void MaintenancePage::ProgramImage(ImageKind kind, const fs::path& image,
                                   const QString& status_text,
                                   std::function<void()> after_success) {
    std::error_code ec;
    const auto size = fs::file_size(image, ec);
    progress_->Begin(ec ? 0 : size);
    // Set by the run's worker, read once the job is back on this thread.
    auto succeeded = std::make_shared<std::atomic<bool>>(false);
    Launch(
        true,
        [this, kind, image, succeeded](PanelWork& w) {
            PanelSession& s = w.session;
            if (UpdateFirmware(s, w.transfer, kind, image, *progress_,
                               [succeeded](LinkResult r) { *succeeded = r == LinkResult::Ok; }))
                s.WaitForRun();
        },
        [this, succeeded, after_success = std::move(after_success)] {
            status_note_.clear();
            if (*succeeded && after_success)
                after_success();
        });
    // The page's bar and Cancel serve the whole run, checks included; the
    // status line says what happens until the figures take over.
    if (busy_ && !status_text.isEmpty()) {
        status_note_ = status_text;
        figures_->setText(status_note_);
    }
}

// Where the logo file of `picture` is written (see logo/logo_place.h).
fs::path LogoFileFor(const fs::path& picture) {
    // Beside the picture as before; a picture folder that takes no new
    // files (shared, read-only) sends it to the user's own data folder.
    const bool beside = CanCreateFileIn(PictureFolder(picture));
    fs::path fallback;
    if (!beside) {
        const QString folder =
            QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
        QDir().mkpath(folder);
        fallback = PathFromQString(folder);
    }
    return ChooseLogoPath(picture, beside, fallback);
}

void MaintenancePage::OnLogo() {
    LogoPickerDialog picker(Messages(), prompts_, models_file_, this);
    picker.SetPicturePath(picture_path_);
    picker.SetBackground(picture_colour_);
    if (run_picker_(picker) != QDialog::Accepted || picker.picture_path().isEmpty())
        return;
    picture_path_ = picker.picture_path();
    picture_colour_ = picker.background();
    {
        const auto profile = AppProfile::Open();
        profile->setValue(QStringLiteral("%1/Picture").arg(kProfileSection), picture_path_);
        profile->setValue(QStringLiteral("%1/Colour").arg(kProfileSection), picture_colour_);
    }

    const PanelModel* model = picker.current_model();
    if (!model) {
        // A logo is made for one screen size: without a model there is none.
        const std::string where = models_file_ ? DisplayPath(*models_file_)
                                               : tr("程序所在文件夹中的 XMLName.dat").toStdString();
        Messages().Show(
            MessageKind::Error,
            tr("没有已知的触摸屏型号，不能生成LOGO文件。\n型号列表文件：").toStdString() + where);
        return;
    }
    const fs::path picture = PathFromQString(picture_path_);
    const LogoWriteResult written = WriteLogoFromPicture(
        picture, picture_colour_, model->screen_width, model->screen_height, LogoFileFor(picture));
    if (written.status == LogoWriteStatus::PictureUnreadable) {
        // Gone or changed since the picker checked it: that is what to say.
        Messages().Show(MessageKind::Error, WindowText(WindowTextId::PictureUndecodable)
                                                .arg(QDir::toNativeSeparators(picture_path_),
                                                     QString::fromStdString(written.message))
                                                .toStdString());
        return;
    }
    if (!written.ok()) {
        Messages().Show(MessageKind::Error,
                        tr("不能写入LOGO文件: ").toStdString() + DisplayPath(written.logo_path));
        return;
    }
    const fs::path logo = written.logo_path;
    ProgramImage(ImageKind::Logo, logo, QString(), [this, logo] {
        Messages().Show(
            MessageKind::Plain,
            WindowText(WindowTextId::LogoFileWritten).arg(PathToQString(logo)).toStdString());
    });
}

bool MaintenancePage::ConfirmClose() {
    if (!busy_)
        return true;
    if (!flash_run_) {
        // A page operation cannot be cancelled; it ends by its last time-out.
        WaitUntilIdle();
        return true;
    }
    if (!prompts_.Ask(Translated(kCancelRunQuestion)))
        return false;
    panel_.CancelRun();
    WaitUntilIdle();
    return true;
}

void MaintenancePage::showEvent(QShowEvent* event) {
    // The page lives inside the main window: closing that window is what
    // must wait for a run.
    QWidget* top = window();
    if (top != this && top != watched_window_) {
        if (watched_window_)
            watched_window_->removeEventFilter(this);
        watched_window_ = top;
        top->installEventFilter(this);
    }
    AnchoredDialog::showEvent(event);
}

bool MaintenancePage::eventFilter(QObject* watched, QEvent* event) {
    if (watched != watched_window_)
        return AnchoredDialog::eventFilter(watched, event);
    if (event->type() == QEvent::Close && !ConfirmClose()) {
        event->ignore();
        return true;
    }
    return AnchoredDialog::eventFilter(watched, event);
}

void MaintenancePage::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    AnchoredDialog::keyPressEvent(event);
}

void MaintenancePage::closeEvent(QCloseEvent* event) {
    if (!ConfirmClose()) {
        event->ignore();
        return;
    }
    AnchoredDialog::closeEvent(event);
}

}  // namespace korvane
