#include "widgets/communication_set.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>

#include "link/serial_devices.h"
#include "widgets/control_ids.h"
#include "widgets/panel_controller.h"
#include "widgets/user_prompts.h"

namespace korvane {

namespace {

constexpr int kMargin = 10;

QString Dotted(const std::array<uint8_t, 4>& a) {
    return QStringLiteral("%1.%2.%3.%4").arg(a[0]).arg(a[1]).arg(a[2]).arg(a[3]);
}

}  // namespace

std::optional<int> ParseDialogPort(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    bool sign = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        sign = true;
        ++i;
    }
    long long value = 0;
    qsizetype digits = 0;
    for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
        value = std::min<long long>(value * 10 + (text[i].unicode() - '0'), 1'000'000);
        ++digits;
    }
    if (i != text.size() || (sign && digits == 0))
        return std::nullopt;  // something follows the number, or a bare sign
    if (negative)
        value = -value;
    if (value < 0 || value > 65535)
        return std::nullopt;
    return static_cast<int>(value);
}

uint16_t ParseComText(const QString& text) {
    QString digits = text.trimmed();
    // The combo offers "COMn"; a typed bare number means the same port
    // instead of losing its first three characters.
    if (digits.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        digits = digits.mid(3);
    return ParsePortLoose(digits.toStdString());
}

CCommunicationSet::CCommunicationSet(PanelController& controller, UserPrompts& prompts,
                                     QWidget* parent)
    : CExtResizableDialog(parent), controller_(controller), prompts_(prompts) {
    setObjectName(DialogName(138));
    setWindowTitle(QString::fromUtf8("通讯参数设置"));

    auto* choice = new QGroupBox(QString::fromUtf8("通讯方式选择"), this);
    choice->setObjectName(ControlName(1067));
    network_ = new QRadioButton(QString::fromUtf8("网口"), choice);
    network_->setObjectName(ControlName(1069));
    serial_ = new QRadioButton(QString::fromUtf8("串口"), choice);
    serial_->setObjectName(ControlName(1070));
    usb_ = new QRadioButton(QStringLiteral("&USB"), choice);
    usb_->setObjectName(ControlName(1071));
    links_ = new QButtonGroup(this);
    links_->addButton(network_, 1);
    links_->addButton(serial_, 2);
    links_->addButton(usb_, 3);
    auto* radios = new QHBoxLayout(choice);
    radios->addWidget(network_);
    radios->addWidget(serial_);
    radios->addWidget(usb_);
    radios->addStretch();

    auto* params = new QGroupBox(QString::fromUtf8("通讯参数设置"), this);
    params->setObjectName(ControlName(1068));
    ip_ = new CIpAddressEdit(params);
    ip_->setObjectName(ControlName(1024));
    port_ = new QLineEdit(params);
    port_->setObjectName(ControlName(1026));
    com_ = new QComboBox(params);
    com_->setObjectName(ControlName(1074));
    com_->setEditable(true);
    com_->setInsertPolicy(QComboBox::NoInsert);
    device_ = new QLabel(params);
    device_->setObjectName(QStringLiteral("comDevice"));
    auto* ip_label = new QLabel(QStringLiteral("&IP:"), params);
    ip_label->setBuddy(ip_);
    auto* port_label = new QLabel(QStringLiteral("&PORT:"), params);
    port_label->setBuddy(port_);
    auto* com_label = new QLabel(QString::fromUtf8("串口号:"), params);
    com_label->setBuddy(com_);
    ip_->octet(0)->setAccessibleName(QStringLiteral("IP"));
    device_->setAccessibleName(QString::fromUtf8("串口设备"));
    auto* grid = new QGridLayout(params);
    grid->addWidget(ip_label, 0, 0);
    grid->addWidget(ip_, 0, 1);
    grid->addWidget(port_label, 1, 0);
    grid->addWidget(port_, 1, 1);
    grid->addWidget(com_label, 2, 0);
    grid->addWidget(com_, 2, 1);
    grid->addWidget(device_, 2, 2);
    grid->setColumnStretch(2, 1);

    auto* ok = new QPushButton(QString::fromUtf8("确定"), this);
    ok->setObjectName(ControlName(1));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QString::fromUtf8("取消"), this);
    cancel->setObjectName(ControlName(2));
    connect(ok, &QPushButton::clicked, this, &CCommunicationSet::accept);
    connect(cancel, &QPushButton::clicked, this, &CCommunicationSet::reject);
    connect(links_, &QButtonGroup::idClicked, this, &CCommunicationSet::OnLinkChosen);
    connect(com_, &QComboBox::currentTextChanged, this, &CCommunicationSet::UpdateDevice);

    setTabOrder(network_, serial_);
    setTabOrder(serial_, usb_);
    setTabOrder(usb_, ip_->octet(0));
    setTabOrder(ip_->octet(0), port_);
    setTabOrder(port_, com_);
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

void CCommunicationSet::ShowRecord() {
    com_->setCurrentText(QStringLiteral("COM%1").arg(record_.com));
    ip_->setText(Dotted(record_.address));
    port_->setText(QString::number(record_.port));
    if (QAbstractButton* b = links_->button(static_cast<int>(record_.link_mode))) {
        b->setChecked(true);
        OnLinkChosen(static_cast<int>(record_.link_mode));
    }
    UpdateDevice();
}

void CCommunicationSet::OnLinkChosen(int mode) {
    // Only the dialog's copy changes: Cancel leaves the settings in use alone.
    record_.link_mode = static_cast<uint32_t>(mode);
    ip_->setEnabled(mode == 1);
    port_->setEnabled(mode == 1);
    com_->setEnabled(mode == 2);
}

void CCommunicationSet::UpdateDevice() {
    // Which device the COM number opens on this machine, as `korvane-cli ports` lists them.
    const uint16_t n = ParseComText(com_->currentText());
    const auto device = ComPortDevice(n);
    device_->setText(device ? QString::fromStdString(*device) : QString::fromUtf8("本机无此串口"));
}

void CCommunicationSet::accept() {
    if (record_.link_mode == 1 && !ParseDialogPort(port_->text())) {
        prompts_.ShowMessage(MessageKind::Error, QString::fromUtf8(kInvalidPort));
        port_->setFocus();
        return;
    }
    record_.address = ParseDottedLoose(ip_->text().toStdString());
    record_.port = ParsePortLoose(port_->text().toStdString());
    record_.com = ParseComText(com_->currentText());
    record_.baud = kDefaultBaud;
    controller_.SaveSettings(record_);
    CExtResizableDialog::accept();
}

}  // namespace korvane
