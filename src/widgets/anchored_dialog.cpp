#include "widgets/anchored_dialog.h"

#include <QPolygon>
#include <QRegion>
#include <QResizeEvent>
#include <QSizeGrip>
#include <QStyle>
#include <algorithm>
#include <cstdint>

#include "widgets/app_profile.h"
#include "widgets/control_names.h"
#include "widgets/screen_placement.h"

namespace korvane {

namespace {

// number * numerator / denominator rounded to the nearest integer, halves away
// from zero. Arranging rounds this way while registration truncates, as the
// dialogs' layouts were tuned with exactly that pair of rules.
int MulDiv(int number, int numerator, int denominator) {
    const std::int64_t product = static_cast<std::int64_t>(number) * numerator;
    const std::int64_t half = denominator / 2;
    const std::int64_t rounded =
        product >= 0 ? (product + half) / denominator : (product - half) / denominator;
    return static_cast<int>(rounded);
}

QString RectKey(const QString& entry) {
    return entry + QStringLiteral("/Rect");
}
QString MaximizedKey(const QString& entry) {
    return entry + QStringLiteral("/Maximized");
}

}  // namespace

AnchoredDialog::AnchoredDialog(QWidget* parent) : QDialog(parent) {
    grip_ = new QSizeGrip(this);
    grip_->setObjectName(kSizeGripName);
    const int side = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    grip_->resize(side, side);
    // Only the lower-right half of the square belongs to the gripper, so the
    // controls it overlaps stay clickable above the diagonal.
    grip_->setMask(QRegion(QPolygon({QPoint(0, side), QPoint(side, side), QPoint(side, 0)})));
    PlaceSizeGrip();
}

AnchoredDialog::~AnchoredDialog() {
    // QWidget's own destructor hides the window without reaching hideEvent.
    if (isVisible())
        SaveWindowRect();
}

QRect AnchoredDialog::ChildRect(const QWidget* child) const {
    return QRect(child->mapTo(this, QPoint(0, 0)), child->size());
}

bool AnchoredDialog::AddAnchor(QWidget* child, QPoint top_left, QPoint bottom_right) {
    if (top_left == QPoint(-1, -1) || child == nullptr || child == this || !isAncestorOf(child))
        return false;
    if (bottom_right == QPoint(-1, -1))
        bottom_right = top_left;

    const int w = width();
    const int h = height();
    const QRect rect = ChildRect(child);
    // Edges are exclusive on the right and bottom, as window rectangles are.
    const int right = rect.x() + rect.width();
    const int bottom = rect.y() + rect.height();
    Anchor anchor{child, top_left,
                  QPoint(rect.x() - w * top_left.x() / 100, rect.y() - h * top_left.y() / 100),
                  bottom_right,
                  QPoint(right - w * bottom_right.x() / 100, bottom - h * bottom_right.y() / 100)};

    auto same = std::find_if(anchors_.begin(), anchors_.end(),
                             [child](const Anchor& a) { return a.child == child; });
    if (same != anchors_.end())
        *same = anchor;
    else
        anchors_.push_back(anchor);
    return true;
}

bool AnchoredDialog::AddAnchor(const char* name, QPoint top_left, QPoint bottom_right) {
    if (top_left.x() == -1 && top_left.y() == -1)
        return false;
    return AddAnchor(FindControl<QWidget>(this, name), top_left, bottom_right);
}

void AnchoredDialog::ArrangeLayout(int w, int h) {
    if (w < 0 || h < 0) {
        w = width();
        h = height();
    }
    // A child destroyed or moved out of the dialog since it was registered
    // is dropped.
    std::erase_if(anchors_, [this](const Anchor& a) {
        return a.child == nullptr || a.child == this || !isAncestorOf(a.child);
    });
    for (const Anchor& a : anchors_) {
        QWidget* child = a.child;
        const int x = MulDiv(w, a.top_left.x(), 100) + a.top_left_offset.x();
        const int y = MulDiv(h, a.top_left.y(), 100) + a.top_left_offset.y();
        const int cx = MulDiv(w, a.bottom_right.x(), 100) + a.bottom_right_offset.x() - x;
        const int cy = MulDiv(h, a.bottom_right.y(), 100) + a.bottom_right_offset.y() - y;
        // Anchors are in dialog coordinates; a nested child moves in its parent's.
        QWidget* parent = child->parentWidget();
        const QPoint pos = parent == this ? QPoint(x, y) : parent->mapFrom(this, QPoint(x, y));
        const QRect target(pos, QSize(std::max(cx, 0), std::max(cy, 0)));
        if (child->geometry() != target)
            child->setGeometry(target);
    }
}

void AnchoredDialog::PlaceSizeGrip() {
    grip_->move(width() - grip_->width(), height() - grip_->height());
    grip_->raise();
}

void AnchoredDialog::ShowSizeGrip(bool show) {
    if (show == grip_shown_)
        return;
    grip_shown_ = show;
    grip_->setVisible(show && isWindow());
    if (!show)
        update(grip_->geometry());
}

void AnchoredDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    ArrangeLayout(event->size().width(), event->size().height());
    PlaceSizeGrip();
}

void AnchoredDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    shown_once_ = true;
    // A gripper resizes the whole window; in a dialog embedded as a page it
    // would resize the window around it, so only a window shows one.
    grip_->setVisible(grip_shown_ && isWindow());
}

void AnchoredDialog::hideEvent(QHideEvent* event) {
    // Closing, hiding and the end of a modal run all pass through here.
    if (!event->spontaneous())
        SaveWindowRect();
    QDialog::hideEvent(event);
}

void AnchoredDialog::EnableSaveRestore(const QString& section, const QString& entry,
                                       bool rect_only) {
    section_ = section;
    entry_ = entry;
    save_restore_ = true;
    LoadWindowRect(rect_only);
}

void AnchoredDialog::SaveWindowRect() {
    // Before the first show the geometry is a default, not the user's choice.
    if (!save_restore_ || !shown_once_ || !isWindow())
        return;
    auto profile = AppProfile::Open();
    profile->beginGroup(section_);
    const bool maximized = isMaximized();
    profile->setValue(RectKey(entry_), maximized ? normalGeometry() : geometry());
    profile->setValue(MaximizedKey(entry_), maximized);
    profile->endGroup();
}

void AnchoredDialog::LoadWindowRect(bool rect_only) {
    if (!isWindow())
        return;
    auto profile = AppProfile::Open();
    profile->beginGroup(section_);
    const QRect saved = profile->value(RectKey(entry_)).toRect();
    const bool maximized = profile->value(MaximizedKey(entry_), false).toBool();
    profile->endGroup();
    if (!saved.isValid())
        return;
    setGeometry(BringOntoScreen(saved, AvailableScreenRects()));
    if (maximized && !rect_only)
        setWindowState(windowState() | Qt::WindowMaximized);
}

}  // namespace korvane
