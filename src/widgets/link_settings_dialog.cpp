#include "widgets/link_settings_dialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

#include "link/serial_devices.h"
#include "system/display_path.h"
#include "system/number_text.h"
#include "widgets/control_names.h"
#include "widgets/panel_controller.h"
#include "widgets/user_prompts.h"
#include "widgets/window_texts.h"

namespace korvane {

namespace {

constexpr int kMargin = 10;

QString Dotted(const std::array<uint8_t, 4>& a) {
    return QStringLiteral("%1.%2.%3.%4").arg(a[0]).arg(a[1]).arg(a[2]).arg(a[3]);
}

// The search's progress, passed to the bar on the user-interface thread.
class BarProgress : public NullProgress {
  public:
    explicit BarProgress(QProgressBar* bar) : bar_(bar) {}
    void MoveTo(int position) override {
        if (position == last_)
            return;
        last_ = position;
        QProgressBar* bar = bar_;
        QMetaObject::invokeMethod(
            bar, [bar, position] { bar->setValue(position); }, Qt::QueuedConnection);
    }

  private:
    QProgressBar* bar_;
    int last_ = -1;
};

}  // namespace

std::optional<int> ParseDialogPort(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    const std::string rest = text.mid(i).toStdString();
    const LeadingDecimal n = ReadLeadingDecimal(rest);
    if (n.length != rest.size() || (n.has_sign && n.digits == 0))
        return std::nullopt;  // something follows the number, or a bare sign
    if (n.value < 1 || n.value > 65535)
        return std::nullopt;
    return static_cast<int>(n.value);
}

uint16_t ParseComText(const QString& text) {
    QString digits = text.trimmed();
    // The combo offers "COMn"; a typed bare number means the same port
    // instead of losing its first three characters.
    if (digits.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        digits = digits.mid(3);
    return ParsePortLoose(digits.toStdString());
}

LinkSettingsDialog::LinkSettingsDialog(PanelController& controller, UserPrompts& prompts,
                                       QWidget* parent)
    : AnchoredDialog(parent), controller_(controller), prompts_(prompts) {
    setObjectName(link_settings_names::kDialog);
    setWindowTitle(tr("通讯参数设置"));

    auto* choice = new QGroupBox(tr("通讯方式选择"), this);
    choice->setObjectName(link_settings_names::kLinkChoiceGroup);
    network_ = new QRadioButton(tr("网口"), choice);
    network_->setObjectName(link_settings_names::kNetworkRadio);
    serial_ = new QRadioButton(tr("串口"), choice);
    serial_->setObjectName(link_settings_names::kSerialRadio);
    usb_ = new QRadioButton(QStringLiteral("&USB"), choice);
    usb_->setObjectName(link_settings_names::kUsbRadio);
    links_ = new QButtonGroup(this);
    links_->addButton(network_, 1);
    links_->addButton(serial_, 2);
    links_->addButton(usb_, 3);
    auto* radios = new QHBoxLayout(choice);
    radios->addWidget(network_);
    radios->addWidget(serial_);
    radios->addWidget(usb_);
    radios->addStretch();

    auto* params = new QGroupBox(tr("通讯参数设置"), this);
    params->setObjectName(link_settings_names::kParametersGroup);
    ip_ = new IpAddressEdit(params);
    ip_->setObjectName(link_settings_names::kIpEdit);
    port_ = new QLineEdit(params);
    port_->setObjectName(link_settings_names::kPortEdit);
    com_ = new QComboBox(params);
    com_->setObjectName(link_settings_names::kComChoice);
    com_->setEditable(true);
    com_->setInsertPolicy(QComboBox::NoInsert);
    device_ = new QLabel(params);
    device_->setObjectName(link_settings_names::kComDeviceLabel);
    auto* ip_label = new QLabel(QStringLiteral("&IP:"), params);
    ip_label->setBuddy(ip_);
    auto* port_label = new QLabel(QStringLiteral("&PORT:"), params);
    port_label->setBuddy(port_);
    auto* com_label = new QLabel(tr("串口号:"), params);
    com_label->setBuddy(com_);
    find_ = new QPushButton(Translated(kFindPanels), params);
    find_->setObjectName(link_settings_names::kFindPanelsButton);
    find_->setAutoDefault(false);  // Enter stays OK
    found_list_ = new QTreeWidget(params);
    found_list_->setObjectName(link_settings_names::kFoundPanelsList);
    found_list_->setRootIsDecorated(false);
    found_list_->setHeaderLabels({QStringLiteral("IP"), QStringLiteral("PORT"), tr("跳线")});
    found_list_->setFixedHeight(found_list_->fontMetrics().height() * 6 + 8);
    auto* found_label = new QLabel(tr("找到的面板(&F):"), params);
    found_label->setBuddy(found_list_);
    find_progress_ = new QProgressBar(params);
    find_progress_->setObjectName(link_settings_names::kFindProgressBar);
    find_progress_->setRange(0, 100);
    find_progress_->setAccessibleName(tr("查找进度"));
    find_progress_->hide();
    find_status_ = new QLabel(params);
    find_status_->setObjectName(link_settings_names::kFindStatusLabel);
    find_status_->setWordWrap(true);
    ip_->octet(0)->setAccessibleName(QStringLiteral("IP"));
    com_->lineEdit()->setAccessibleName(tr("串口号"));
    auto* grid = new QGridLayout(params);
    grid->addWidget(ip_label, 0, 0);
    grid->addWidget(ip_, 0, 1);
    grid->addWidget(port_label, 1, 0);
    grid->addWidget(port_, 1, 1);
    grid->addWidget(com_label, 2, 0);
    grid->addWidget(com_, 2, 1);
    grid->addWidget(device_, 2, 2);
    grid->addWidget(find_, 0, 2, Qt::AlignLeft);
    grid->addWidget(found_label, 3, 0, 1, 3);
    grid->addWidget(found_list_, 4, 0, 1, 3);
    grid->addWidget(find_progress_, 5, 0, 1, 3);
    grid->addWidget(find_status_, 6, 0, 1, 3);
    grid->setColumnStretch(2, 1);

    auto* ok = new QPushButton(tr("确定"), this);
    ok->setObjectName(link_settings_names::kOkButton);
    ok->setDefault(true);
    auto* cancel = new QPushButton(tr("取消"), this);
    cancel->setObjectName(link_settings_names::kCancelButton);
    connect(ok, &QPushButton::clicked, this, &LinkSettingsDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &LinkSettingsDialog::reject);
    // The state, not the click: keys and accessibility actions choose too.
    connect(links_, &QButtonGroup::idToggled, this, [this](int mode, bool checked) {
        if (checked)
            OnLinkChosen(mode);
    });
    connect(com_, &QComboBox::currentTextChanged, this, &LinkSettingsDialog::UpdateDevice);
    connect(find_, &QPushButton::clicked, this, &LinkSettingsDialog::FindPanels);
    connect(found_list_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { UsePanel(found_list_->indexOfTopLevelItem(item)); });

    setTabOrder(network_, serial_);
    setTabOrder(serial_, usb_);
    setTabOrder(usb_, ip_->octet(0));
    setTabOrder(ip_->octet(0), port_);
    setTabOrder(port_, find_);
    setTabOrder(find_, found_list_);
    setTabOrder(found_list_, com_);
    setTabOrder(com_, ok);
    setTabOrder(ok, cancel);

    // Opening: COM1 to COM9, then the saved settings over the ones in use.
    for (int n = 1; n <= 9; ++n)
        com_->addItem(QStringLiteral("COM%1").arg(n));
    record_ = controller_.SavedSettings();
    ShowRecord();

    // Place the groups at their natural sizes, the buttons bottom right,
    // then anchor: the groups widen with the dialog, the buttons follow
    // its bottom-right corner.
    device_->setText(QStringLiteral("/dev/ttyUSB10"));  // widest likely text while measuring
    const QSize c = choice->sizeHint();
    const QSize p = params->sizeHint();
    UpdateDevice();
    const QSize b = ok->sizeHint().expandedTo(cancel->sizeHint()).expandedTo(QSize(80, 0));
    const int width = std::max({c.width(), p.width(), 2 * b.width() + kMargin, 340});
    choice->setGeometry(kMargin, kMargin, width, c.height());
    params->setGeometry(kMargin, 2 * kMargin + c.height(), width, p.height());
    const int buttons_y = 3 * kMargin + c.height() + p.height();
    cancel->setGeometry(kMargin + width - b.width(), buttons_y, b.width(), b.height());
    ok->setGeometry(kMargin + width - 2 * b.width() - kMargin, buttons_y, b.width(), b.height());
    const QSize client(width + 2 * kMargin, buttons_y + b.height() + kMargin);
    resize(client);
    setMinimumSize(client);
    AddAnchor(choice, QPoint(0, 0), QPoint(100, 0));
    AddAnchor(params, QPoint(0, 0), QPoint(100, 0));
    AddAnchor(ok, QPoint(100, 100));
    AddAnchor(cancel, QPoint(100, 100));
}

void LinkSettingsDialog::ShowRecord() {
    com_->setCurrentText(QStringLiteral("COM%1").arg(record_.com));
    ip_->setText(Dotted(record_.address));
    port_->setText(QString::number(record_.port));
    if (QAbstractButton* b = links_->button(static_cast<int>(record_.link_mode))) {
        b->setChecked(true);
        OnLinkChosen(static_cast<int>(record_.link_mode));
    }
    UpdateDevice();
}

void LinkSettingsDialog::OnLinkChosen(int mode) {
    // Only the dialog's copy changes: Cancel leaves the settings in use alone.
    record_.link_mode = static_cast<uint32_t>(mode);
    ip_->setEnabled(mode == 1);
    port_->setEnabled(mode == 1);
    // Found panels are reached over the network only.
    find_->setEnabled(mode == 1 && !discovering());
    found_list_->setEnabled(mode == 1);
    com_->setEnabled(mode == 2);
}

void LinkSettingsDialog::UpdateDevice() {
    // Which device the COM number opens on this machine, as `korvane-cli ports` lists them.
    const uint16_t n = ParseComText(com_->currentText());
    const auto device = ComPortDevice(n);
    device_->setText(device ? QString::fromStdString(*device) : tr("本机无此串口"));
}

bool LinkSettingsDialog::RefuseNetworkFields() {
    // An empty field would be saved as 0: a panel at 0.0.0.0 or on port 0
    // is never reached.
    if (!ip_->IsComplete()) {
        prompts_.ShowMessage(MessageKind::Error, WindowText(WindowTextId::AddressMissing));
        ip_->setFocus();
        return true;
    }
    if (!ParseDialogPort(port_->text())) {
        prompts_.ShowMessage(MessageKind::Error, Translated(kInvalidPort));
        port_->setFocus();
        return true;
    }
    return false;
}

void LinkSettingsDialog::ShowSaveFailure() {
    const SettingsFile& file = controller_.settings_file();
    prompts_.ShowMessage(MessageKind::Error,
                         WindowText(WindowTextId::SettingsNotSaved)
                             .arg(QString::fromStdString(DisplayPath(*file.path())),
                                  QString::fromStdString(file.write_error().message())));
}

void LinkSettingsDialog::accept() {
    if (record_.link_mode == 1 && RefuseNetworkFields())
        return;
    record_.address = ParseDottedLoose(ip_->text().toStdString());
    record_.port = ParsePortLoose(port_->text().toStdString());
    record_.com = ParseComText(com_->currentText());
    record_.baud = kDefaultBaud;
    if (!controller_.SaveSettings(record_)) {
        if (!controller_.settings_file().path()) {
            // Nothing can keep them, but they are in use until the window closes.
            prompts_.ShowMessage(MessageKind::Warning, WindowText(WindowTextId::NoSettingsFile));
        } else {
            // Nothing typed is lost: the dialog stays open to try again or cancel.
            ShowSaveFailure();
            return;
        }
    }
    AnchoredDialog::accept();
}

}  // namespace korvane

namespace korvane {

LinkSettingsDialog::~LinkSettingsDialog() {
    // The search posts to this dialog: it must have ended first.
    controller_.StopDiscover();
}

bool LinkSettingsDialog::discovering() const {
    return searching_;
}

void LinkSettingsDialog::FindPanels() {
    if (discovering())
        return;
    DiscoverOptions options = discover_;
    // The panels are asked on the port the dialog shows.
    const auto port = ParseDialogPort(port_->text());
    options.port = port ? static_cast<uint16_t>(*port) : uint16_t{21845};
    found_.clear();
    found_list_->clear();
    find_->setEnabled(false);
    find_status_->clear();
    find_progress_->setValue(0);
    find_progress_->show();
    find_feed_ = std::make_unique<BarProgress>(find_progress_);
    // `done` runs on the search's thread; the destructor waits for the
    // search, so this dialog is still there when it posts.
    searching_ = controller_.Discover(options, *find_feed_, [this](DiscoverResult result) {
        QMetaObject::invokeMethod(
            this, [this, result = std::move(result)] { ShowFound(result); }, Qt::QueuedConnection);
    });
    if (!searching_) {
        find_progress_->hide();
        find_->setEnabled(true);
    }
}

void LinkSettingsDialog::ShowFound(const DiscoverResult& result) {
    searching_ = false;
    find_progress_->hide();
    find_->setEnabled(record_.link_mode == 1);
    found_ = result.panels;
    for (const FoundPanel& p : found_) {
        auto* item = new QTreeWidgetItem(found_list_);
        item->setText(0, QString::fromStdString(HostDotted(p.address)));
        item->setText(1, QString::number(p.port));
        item->setText(2, QString::number(p.jumper));
        if (p.reported) {
            item->setToolTip(0, tr("面板报告的地址: %1:%2")
                                    .arg(QString::fromStdString(p.reported->IpText()))
                                    .arg(p.reported->port));
        }
    }
    for (int c = 0; c < found_list_->columnCount(); ++c)
        found_list_->resizeColumnToContents(c);
    QString status;
    switch (result.outcome) {
        case DiscoverOutcome::Done:
            status = found_.empty()
                         ? tr("未找到面板。请确认本机与面板在同一网段"
                              "（新面板的地址为 192.168.0.100），端口为 %1。")
                               .arg(port_->text())
                         : tr("找到 %1 个面板，选中一个即填入其地址和端口。").arg(found_.size());
            break;
        case DiscoverOutcome::Cancelled:
            status = tr("查找已取消。");
            break;
        case DiscoverOutcome::NoInterfaces:
            status = tr("本机没有可发送广播的网络接口。");
            break;
        case DiscoverOutcome::NotABroadcast:
        case DiscoverOutcome::BadRange:
            status = tr("查找范围无效。");
            break;
        case DiscoverOutcome::SocketFailed:
            status = tr("无法打开网络端口: %1").arg(QString::fromStdString(result.error));
            break;
    }
    find_status_->setText(status);
}

void LinkSettingsDialog::UsePanel(int row) {
    if (row < 0 || row >= static_cast<int>(found_.size()))
        return;
    const FoundPanel& p = found_[static_cast<size_t>(row)];
    ip_->setText(QString::fromStdString(HostDotted(p.address)));
    port_->setText(QString::number(p.port));
}

}  // namespace korvane
