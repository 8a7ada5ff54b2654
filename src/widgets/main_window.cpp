#include "widgets/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <algorithm>

#include "widgets/about_dialog.h"
#include "widgets/app_profile.h"
#include "widgets/control_names.h"
#include "widgets/link_settings_dialog.h"
#include "widgets/panel_controller.h"
#include "widgets/resource_bundle.h"
#include "widgets/user_prompts.h"
#include "widgets/window_language.h"
#include "widgets/window_texts.h"

namespace korvane {

namespace {

namespace names = main_window_names;

constexpr int kMargin = 10;
constexpr QSize kStartSize(780, 520);

// A value label: assistive technology reads its text as its name, and its
// caption (the label whose buddy it is) as the related label.
QLabel* ValueField(const char* name, QWidget* parent) {
    auto* field = new QLabel(QStringLiteral("NULL"), parent);
    field->setObjectName(name);
    field->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return field;
}

// The links' names as the controller gives them, translated where shown.
[[maybe_unused]] constexpr const char* kLinkNames[] = {
    QT_TRANSLATE_NOOP("korvane::MainWindow", "网口"),
    QT_TRANSLATE_NOOP("korvane::MainWindow", "串口"),
    QT_TRANSLATE_NOOP("korvane::MainWindow", "USB口"),
};

QPushButton* Button(const char* name, const QString& text, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

MainWindow::MainWindow(PanelController& controller, UserPrompts& prompts, QWidget* parent)
    : AnchoredDialog(parent), controller_(controller), prompts_(prompts) {
    setObjectName(names::kWindow);
    setWindowTitle(tr("T3固件烧写工具(V1.0.0)"));
    setWindowIcon(ResourceIcon(IDI_PANEL));
    setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint);

    page_list_ = new PageList(this);
    page_list_->setObjectName(names::kPageList);
    page_list_->setAccessibleName(tr("页面"));

    auto* previous = Button(names::kPreviousPageButton, tr("<<上页"), this);
    auto* next = Button(names::kNextPageButton, tr("下页>>"), this);

    // Each language named in itself, so that a user who cannot read the
    // window's present language still finds their own.
    auto* language_label = new QLabel(tr("语言:"), this);
    language_ = new QComboBox(this);
    language_->setObjectName(names::kLanguageChoice);
    for (UiLanguage l : {UiLanguage::Chinese, UiLanguage::English})
        language_->addItem(LanguageName(l), static_cast<int>(l));
    language_->setCurrentIndex(language_->findData(static_cast<int>(WindowLanguage())));
    language_label->setBuddy(language_);

    // The link display, visible below the page list so that the settings
    // dialog is always one click away.
    auto* group = new QGroupBox(tr("通讯参数设置"), this);
    group->setObjectName(names::kLinkDisplayGroup);
    mode_ = ValueField(names::kLinkModeLabel, group);
    address_ = ValueField(names::kLinkAddressLabel, group);
    port_ = ValueField(names::kLinkPortLabel, group);
    com_ = ValueField(names::kLinkComLabel, group);
    settings_ = Button(names::kLinkSettingsButton, tr("设置"), group);
    auto* settings = settings_;
    auto* about = Button(names::kAboutButton, tr("关于…"), group);
    auto* grid = new QGridLayout(group);
    const QString labels[] = {tr("当前通讯方式:"), QStringLiteral("IP:"), QStringLiteral("PORT:"),
                              tr("串口号:")};
    QLabel* fields[] = {mode_, address_, port_, com_};
    for (int row = 0; row < 4; ++row) {
        auto* label = new QLabel(labels[row], group);
        label->setBuddy(fields[row]);
        grid->addWidget(label, row, 0);
        grid->addWidget(fields[row], row, 1);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(settings);
    buttons->addWidget(about);
    grid->addLayout(buttons, 4, 0, 1, 2);
    grid->setColumnStretch(1, 1);

    page_area_ = new QGroupBox(this);
    page_area_->setObjectName(names::kPageArea);

    // Measure the address field at its widest so that no address is cut.
    address_->setText(QStringLiteral("255.255.255.255"));
    const QSize g = group->sizeHint();
    address_->setText(QStringLiteral("NULL"));
    const QSize b = previous->sizeHint().expandedTo(next->sizeHint());
    const QSize lang_label = language_label->sizeHint();
    const QSize lang = language_->sizeHint();
    const int lang_h = std::max(lang.height(), lang_label.height());
    const int column = std::max(
        {g.width(), 2 * b.width() + kMargin, lang_label.width() + kMargin + lang.width(), 180});

    resize(kStartSize);
    const int h = kStartSize.height();
    const int group_y = h - kMargin - g.height();
    const int lang_y = group_y - kMargin - lang_h;
    const int nav_y = lang_y - kMargin - b.height();
    page_list_->setGeometry(kMargin, kMargin, column, nav_y - 2 * kMargin);
    previous->setGeometry(kMargin, nav_y, (column - kMargin) / 2, b.height());
    next->setGeometry(kMargin + column - (column - kMargin) / 2, nav_y, (column - kMargin) / 2,
                      b.height());
    language_label->setGeometry(kMargin, lang_y, lang_label.width(), lang_h);
    language_->setGeometry(2 * kMargin + lang_label.width(), lang_y,
                           column - kMargin - lang_label.width(), lang_h);
    group->setGeometry(kMargin, group_y, column, g.height());
    const int area_x = 2 * kMargin + column;
    page_area_->setGeometry(area_x, kMargin / 2, kStartSize.width() - area_x - kMargin,
                            h - kMargin / 2 - kMargin);
    left_column_ = QSize(area_x, g.height() + lang_h + kMargin + b.height() + 160);
    setMinimumSize(left_column_.width() + 300, left_column_.height());

    AddAnchor(page_list_, QPoint(0, 0), QPoint(0, 100));
    AddAnchor(previous, QPoint(0, 100));
    AddAnchor(next, QPoint(0, 100));
    AddAnchor(language_label, QPoint(0, 100));
    AddAnchor(language_, QPoint(0, 100));
    AddAnchor(group, QPoint(0, 100));
    AddAnchor(page_area_, QPoint(0, 0), QPoint(100, 100));

    setTabOrder(page_list_, previous);
    setTabOrder(previous, next);
    setTabOrder(next, language_);
    setTabOrder(language_, settings);
    setTabOrder(settings, about);

    connect(previous, &QPushButton::clicked, this, &MainWindow::OnPrevious);
    connect(next, &QPushButton::clicked, this, &MainWindow::OnNext);
    connect(settings, &QPushButton::clicked, this, &MainWindow::OnSettings);
    connect(about, &QPushButton::clicked, this, &MainWindow::ShowAbout);
    connect(language_, &QComboBox::activated, this, &MainWindow::OnLanguageActivated);
    connect(page_list_, &PageList::PageSelected, page_list_, &PageList::ShowSelectedPage);

    // The About item of the window's menu: here the window's context menu.
    auto* about_action = new QAction(ResourceString(IDS_ABOUTBOX), this);
    about_action->setObjectName(names::kAboutAction);
    connect(about_action, &QAction::triggered, this, &MainWindow::ShowAbout);
    addAction(about_action);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    RefreshLinkDisplay();
    connect(&timer_, &QTimer::timeout, this, &MainWindow::OnTick);
    timer_.start(kLinkDisplayPeriodMs);
    EnableSaveRestore(QStringLiteral("Dialog Positions"), QStringLiteral("OrvelManagerDlg"));
    // A hidden window gets its resize event only when shown; arrange for the
    // restored size now, so that pages added before then land on the page area.
    ArrangeLayout();
}

void MainWindow::AddPage(const QString& caption, const QIcon& icon, QWidget* page) {
    page->setParent(this);
    // Assistive technology names the page as the list does.
    if (page->accessibleName().isEmpty())
        page->setAccessibleName(caption);
    // The page covers the page area inside its frame and follows its size.
    const int inset = 2;
    page->setGeometry(page_area_->geometry().adjusted(inset, inset, -inset, -inset));
    AddAnchor(page, QPoint(0, 0), QPoint(100, 100));
    page_list_->AddPage(caption, icon, QSize(32, 32), page);
    // The window never gets smaller than the page needs to show every
    // control whole: the page area is the window less the left column.
    const QSize need = page->minimumSizeHint();
    const int frame = 2 * inset + kMargin;
    setMinimumSize(
        std::max(minimumWidth(), left_column_.width() + need.width() + frame),
        std::max({minimumHeight(), left_column_.height(), need.height() + frame + kMargin / 2}));
    if (width() < minimumWidth() || height() < minimumHeight())
        resize(size().expandedTo(minimumSize()));
    if (page_list_->currentRow() < 0)
        page_list_->setCurrentRow(0);
    page_list_->ShowSelectedPage();
}

int MainWindow::CurrentPage() const {
    return page_list_->currentRow();
}

void MainWindow::OnPrevious() {
    page_list_->SelectPrevious();
    page_list_->ShowSelectedPage();
}

void MainWindow::OnNext() {
    page_list_->SelectNext();
    page_list_->ShowSelectedPage();
}

void MainWindow::RefreshLinkDisplay() {
    const LinkDisplayTexts t = controller_.LinkDisplay();
    mode_->setText(tr(t.mode.c_str()));
    address_->setText(QString::fromStdString(t.address));
    port_->setText(QString::fromStdString(t.port));
    com_->setText(QString::fromStdString(t.com));
}

void MainWindow::OnTick() {
    RefreshLinkDisplay();
    UpdateSettingsLock();
    if (close_pending_ && !controller_.busy()) {
        close_pending_ = false;
        AnchoredDialog::reject();
    }
}

void MainWindow::UpdateSettingsLock() {
    // A run keeps the link it started with: changing the settings under it
    // would show a link that is not the one in use.
    const bool busy = controller_.busy();
    settings_->setEnabled(!busy);
    settings_->setToolTip(busy ? WindowText(WindowTextId::LinkLockedDuringRun) : QString());
    // The window is built again in the new language: not under a run.
    language_->setEnabled(!busy);
    language_->setToolTip(busy ? WindowText(WindowTextId::LanguageLockedDuringRun) : QString());
}

void MainWindow::OnLanguageActivated(int index) {
    const auto chosen = static_cast<UiLanguage>(language_->itemData(index).toInt());
    if (chosen == WindowLanguage() || controller_.busy())
        return;
    if (!SaveWindowLanguage(chosen)) {
        // Still switched for this run; the user learns it will not last.
        prompts_.ShowMessage(MessageKind::Warning,
                             WindowText(WindowTextId::LanguageNotSaved)
                                 .arg(QDir::toNativeSeparators(AppProfile::Open()->fileName())));
    }
    emit LanguageChosen(chosen);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    // The window is the program: Escape must not end it the way it cancels a
    // dialog. The close box asks when a run would be cut short.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    AnchoredDialog::keyPressEvent(event);
}

void MainWindow::OnSettings() {
    UpdateSettingsLock();
    if (controller_.busy())
        return;
    LinkSettingsDialog dialog(controller_, prompts_, this);
    dialog.exec();
}

void MainWindow::ShowAbout() {
    AboutDialog about(this);
    about.exec();
}

void MainWindow::reject() {
    if (controller_.busy()) {
        // A worker may be waiting on a message box: never block here; stop
        // the transfer and close when the timer sees the work has ended.
        controller_.CancelRun();
        close_pending_ = true;
        return;
    }
    AnchoredDialog::reject();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (controller_.busy()) {
        event->ignore();
        reject();
        return;
    }
    AnchoredDialog::closeEvent(event);
}

}  // namespace korvane
