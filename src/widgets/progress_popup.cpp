#include "widgets/progress_popup.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QWindow>
#include <algorithm>

#include "widgets/app_profile.h"
#include "widgets/control_names.h"
#include "widgets/message_box_owner.h"
#include "widgets/screen_placement.h"
#include "widgets/ui_thread_refresh.h"

namespace korvane {

namespace {

const QString kButtonText = QStringLiteral(" Cancel ");
constexpr int kMessageLines = 2;
constexpr int kMessageWidth = 600;
constexpr int kMaxMessage = 512;
// The thin edge the button and bar sizes are measured in.
constexpr int kEdge = 2;

int PercentOf(int position, int lower, int upper) {
    if (lower >= upper)
        return 0;
    const double share =
        (static_cast<double>(position) - lower) * 100.0 / (static_cast<double>(upper) - lower) +
        0.5;
    return static_cast<int>(share);
}

}  // namespace

ProgressPopup::ProgressPopup()
    : QWidget(nullptr,
              Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(progress_popup_names::kPopup);
    // The operation goes on in the window the user works in; the popup only
    // reports, so it never takes the focus by appearing.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setCursor(Qt::BusyCursor);
    setAutoFillBackground(true);
    title_ = QStringLiteral("Progress");
    setWindowTitle(title_);

    message_ = new QLabel(this);
    message_->setObjectName(progress_popup_names::kMessageLabel);
    message_->setTextFormat(Qt::PlainText);
    message_->setWordWrap(false);
    message_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    bar_ = new QProgressBar(this);
    bar_->setObjectName(progress_popup_names::kProgressBar);
    bar_->setTextVisible(false);
    cancel_ = new QPushButton(kButtonText, this);
    cancel_->setObjectName(progress_popup_names::kCancelButton);
    cancel_->setAccessibleName(kButtonText.trimmed());
    message_->setFont(QApplication::font("QMessageBox"));
    cancel_->setFont(QApplication::font("QMessageBox"));
    connect(cancel_, &QPushButton::clicked, this, &ProgressPopup::Cancel);
    LayOut(kMessageLines, kMessageWidth);
}

ProgressPopup::~ProgressPopup() {
    if (open_.load())
        Close();
}

void ProgressPopup::LayOut(int lines, int message_width) {
    const QFontMetrics message_metrics(message_->font());
    QString probe = QStringLiteral("M");
    for (int i = 1; i < lines; ++i)
        probe += QStringLiteral("\nM");
    const int message_height =
        message_metrics.boundingRect(QRect(0, 0, message_width, 10000), 0, probe).height();
    message_->setGeometry(10, 10, message_width, message_height);

    const QFontMetrics button_metrics(cancel_->font());
    const int button_width =
        button_metrics.horizontalAdvance(kButtonText + QStringLiteral("  ")) + 14 * kEdge;
    const int button_height = button_metrics.height() + 8 * kEdge;
    const int button_top = 10 + message_height + 10;
    cancel_->setGeometry(10 + message_width - button_width, button_top, button_width,
                         button_height);
    bar_->setGeometry(10, button_top + kEdge, message_width - button_width - 10,
                      button_height - 2 * kEdge);
    setFixedSize(10 + message_width + 10, button_top + button_height + 10);
}

bool ProgressPopup::Open(QWidget* parent, const QString& title, bool /*smooth*/) {
    cancelled_ = false;
    escape_cancels_ = true;
    position_ = 0;
    percent_ = 0;
    shown_percent_ = 0;
    step_ = 1;
    lower_ = 0;
    upper_ = 100;
    remember_position_ = true;
    {
        std::lock_guard lock(text_mutex_);
        title_ = title;
        message_text_.clear();
    }
    owner_ = parent ? parent->window() : nullptr;
    setWindowTitle(title);
    message_->clear();
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setAccessibleName(title);
    bar_->setAccessibleDescription(QStringLiteral("0%"));
    LayOut(kMessageLines, kMessageWidth);

    // Stay in front of the owner without becoming its child: the popup is
    // not the owner's to delete.
    create();
    if (owner_ && owner_->windowHandle())
        windowHandle()->setTransientParent(owner_->windowHandle());
    SetMessageBoxOwner(this);
    RestorePosition();
    qApp->installEventFilter(this);
    open_ = true;
    show();  // a new top-most window comes up in front
    return true;
}

void ProgressPopup::Close() {
    if (!open_.exchange(false))
        return;
    qApp->removeEventFilter(this);
    SavePosition();
    hide();
}

void ProgressPopup::SetBounds(int lower, int upper, int step) {
    if (!open_.load())
        return;
    lower_ = lower;
    upper_ = upper;
    step_ = step;
    RequestRefresh();
}

void ProgressPopup::SetMessage(const QString& message) {
    if (!open_.load())
        return;
    {
        std::lock_guard lock(text_mutex_);
        message_text_ = message.left(kMaxMessage);
    }
    RequestRefresh();
}

int ProgressPopup::SetPosition(int position) {
    if (!open_.load())
        return position_.load();
    const int previous = position_.exchange(position);
    percent_ = PercentOf(position, lower_.load(), upper_.load());
    RequestRefresh();
    return previous;
}

int ProgressPopup::Advance() {
    if (!open_.load())
        return position_.load();
    return SetPosition(static_cast<int>(static_cast<unsigned>(position_.load()) +
                                        static_cast<unsigned>(step_.load())));
}

void ProgressPopup::PumpMessages(bool escape_cancels) {
    escape_cancels_ = escape_cancels;
    // On a worker thread without an event loop this returns at once: a worker
    // sees no keyboard input.
    QCoreApplication::processEvents();
}

void ProgressPopup::RequestRefresh() {
    RefreshOnOwnThread(this, refresh_posted_, &ProgressPopup::Refresh);
}

void ProgressPopup::Refresh() {
    refresh_posted_ = false;
    if (!open_.load())
        return;
    QString title;
    QString message;
    {
        std::lock_guard lock(text_mutex_);
        title = title_;
        message = message_text_;
    }
    if (message_->text() != message)
        message_->setText(message);
    const int lower = lower_.load();
    const int upper = upper_.load();
    if (bar_->minimum() != lower || bar_->maximum() != upper)
        bar_->setRange(lower, std::max(lower, upper));
    bar_->setValue(std::clamp(position_.load(), lower, std::max(lower, upper)));
    const int percent = percent_.load();
    if (percent != shown_percent_) {
        shown_percent_ = percent;
        // One pass, so that a "%" in the title stays as it is.
        setWindowTitle(QStringLiteral("%1 [%2%]").arg(title, QString::number(percent)));
        bar_->setAccessibleDescription(QStringLiteral("%1%").arg(percent));
    }
    // Progress after a hide brings the popup back, unless the user cancelled:
    // a worker's last step must not undo the user's dismissal.
    if (isHidden() && !cancelled_.load())
        show();
}

void ProgressPopup::Cancel() {
    SavePosition();
    cancelled_ = true;
    hide();
    QWidget* main = owner_;
    if (!main) {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top != this && top->isVisible() && !(top->windowFlags() & Qt::Tool)) {
                main = top;
                break;
            }
        }
    }
    if (main) {
        main->raise();
        main->activateWindow();
    }
}

bool ProgressPopup::eventFilter(QObject* watched, QEvent* event) {
    // Escape in a message box shown meanwhile belongs to that box.
    if (event->type() == QEvent::KeyPress && open_.load() && !cancelled_.load() &&
        escape_cancels_.load() && watched->isWidgetType() && !QApplication::activeModalWidget() &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        Cancel();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void ProgressPopup::closeEvent(QCloseEvent* event) {
    // The popup has no close button: a window manager's close is a cancel.
    // The close is accepted all the same, or the popup would stop the
    // application from quitting while it exists.
    if (open_.load() && !cancelled_.load())
        Cancel();
    event->accept();
}

void ProgressPopup::SavePosition() {
    if (!remember_position_)
        return;
    auto profile = AppProfile::Open();
    profile->setValue(QStringLiteral("Settings/X"), x());
    profile->setValue(QStringLiteral("Settings/Y"), y());
}

void ProgressPopup::RestorePosition() {
    const QList<QRect> screens = AvailableScreenRects();
    QRect place(QPoint(0, 0), size());
    bool restored = false;
    if (remember_position_) {
        auto profile = AppProfile::Open();
        const int x = profile->value(QStringLiteral("Settings/X"), -1).toInt();
        const int y = profile->value(QStringLiteral("Settings/Y"), -1).toInt();
        if (x >= 0 && y >= 0) {
            place.moveTopLeft(QPoint(x, y));
            restored = true;
        }
    }
    if (screens.isEmpty()) {
        move(place.topLeft());
        return;
    }
    // An unknown or unreachable position centres the popup; a partly hidden
    // one is pulled inside, so that Cancel can always be reached.
    if (!restored)
        place.moveCenter(screens.front().center());
    move(FitInsideScreen(place, screens).topLeft());
}

}  // namespace korvane
