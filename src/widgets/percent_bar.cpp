#include "widgets/percent_bar.h"

#include <QAccessible>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <cstdint>

#include "widgets/percent_bar_accessible.h"
#include "widgets/ui_thread_refresh.h"

namespace korvane {

PercentBar::PercentBar(QWidget* parent) : QWidget(parent) {
    const QPalette& colors = palette();
    bar_color_ = colors.color(QPalette::Highlight);
    background_color_ = colors.color(QPalette::Base);
    text_on_background_color_ = bar_color_;
    text_on_bar_color_ = background_color_;
    // Assistive technology sees a progress bar; its name is its caption
    // label's (the label's buddy), its value text the line on the bar.
    static const bool accessible =
        (QAccessible::installFactory(&PercentBarAccessibleFactory), true);
    (void)accessible;
    width_.store(width());
}

QSize PercentBar::sizeHint() const {
    return QSize(200, fontMetrics().height() + 8);
}

PercentBar::Shape PercentBar::ShapeFor(int position, int width) const {
    const std::int64_t lower = lower_.load();
    const std::int64_t upper = upper_.load();
    Shape shape;
    // An empty span draws nothing and divides by nothing.
    if (lower >= upper)
        return shape;
    shape.drawable = true;
    // Below the span or beyond it the bar is empty or full, never more.
    // Whole numbers throughout: 29 of 100 through a double fraction would
    // come out as 28.999... and show 28%.
    const std::int64_t done = std::clamp<std::int64_t>(position, lower, upper) - lower;
    const std::int64_t span = upper - lower;
    shape.filled = static_cast<int>(done * std::max(width, 0) / span);
    shape.percent = static_cast<int>(done * 100 / span);
    return shape;
}

QString PercentBar::BarText(const QString& text, int percent) {
    if (!text.isEmpty())
        return percent != 0 ? text + QString::number(percent) + QLatin1Char('%') : text;
    if (percent > 0)
        return QString::number(percent) + QLatin1Char('%');
    return QString();
}

QString PercentBar::Text() const {
    std::lock_guard lock(text_mutex_);
    return text_;
}

QString PercentBar::CurrentText() const {
    const Shape shape = ShapeFor(position_.load(), width_.load());
    if (!shape.drawable || !show_text_.load())
        return QString();
    return BarText(Text(), shape.percent);
}

int PercentBar::MoveTo(int position) {
    const int previous = position_.exchange(position);
    Moved(position);
    return previous;
}

int PercentBar::Step() {
    const int step = step_.load();
    const int previous = position_.fetch_add(step);
    // Wraps like the stored value does instead of overflowing.
    Moved(static_cast<int>(static_cast<unsigned>(previous) + static_cast<unsigned>(step)));
    return previous;
}

int PercentBar::MoveBy(int offset) {
    const int previous = position_.fetch_add(offset);
    Moved(static_cast<int>(static_cast<unsigned>(previous) + static_cast<unsigned>(offset)));
    return previous;
}

void PercentBar::Moved(int position) {
    // A transfer steps once per packet; only a new pixel or a new percent is
    // worth a trip to the user-interface thread.
    const Shape shape = ShapeFor(position, width_.load());
    const int filled = shape.drawable ? shape.filled : -2;
    const bool new_filled = requested_filled_.exchange(filled) != filled;
    const bool new_percent = requested_percent_.exchange(shape.percent) != shape.percent;
    if (new_filled || (new_percent && show_text_.load()))
        RequestRefresh();
}

void PercentBar::SetSpan(int lower, int upper) {
    lower_.store(lower);
    upper_.store(upper);
}

void PercentBar::SetText(const QString& text) {
    {
        std::lock_guard lock(text_mutex_);
        if (text == text_)
            return;
        text_ = text;
    }
    RequestRefresh();
}

void PercentBar::ShowText(bool show) {
    if (show_text_.exchange(show) != show)
        RequestRefresh();
}

void PercentBar::RequestRefresh() {
    RefreshOnOwnThread(this, refresh_posted_, &PercentBar::Refresh);
}

void PercentBar::Refresh() {
    refresh_posted_.store(false);
    const QString text = CurrentText();
    if (accessibleDescription() != text)
        setAccessibleDescription(text);
    // Tell assistive technology that the value moved (it reads the value
    // text along with it).
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent moved(this, Position());
        QAccessible::updateAccessibility(&moved);
    }
    const Shape shape = ShapeFor(position_.load(), width());
    if (painted_ && shape.drawable == painted_drawable_ && shape.filled == painted_filled_ &&
        text == drawn_text_)
        return;
    update();
}

void PercentBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    width_.store(event->size().width());
    requested_filled_.store(-1);
}

void PercentBar::paintEvent(QPaintEvent*) {
    ++paint_count_;
    const Shape shape = ShapeFor(position_.load(), width());
    const QString text = CurrentText();
    painted_ = true;
    painted_drawable_ = shape.drawable;
    painted_filled_ = shape.filled;
    drawn_text_ = text;
    if (!shape.drawable)
        return;

    // Widgets paint through Qt's back buffer already, so there is no flicker
    // to avoid with a bitmap of our own.
    QPainter painter(this);
    const QRect all = rect();
    const QRect done(all.left(), all.top(), shape.filled, all.height());
    const QRect rest(all.left() + shape.filled, all.top(), all.width() - shape.filled,
                     all.height());
    painter.fillRect(done, bar_color_);
    painter.fillRect(rest, background_color_);
    if (text.isEmpty())
        return;
    const int flags = Qt::AlignCenter | Qt::TextSingleLine;
    painter.setClipRect(done);
    painter.setPen(text_on_bar_color_);
    painter.drawText(all, flags, text);
    painter.setClipRect(rest);
    painter.setPen(text_on_background_color_);
    painter.drawText(all, flags, text);
}

void PercentBar::SetBarColor(const QColor& color) {
    bar_color_ = color;
    update();
}

void PercentBar::SetBackgroundColor(const QColor& color) {
    background_color_ = color;
    update();
}

void PercentBar::SetTextOnBarColor(const QColor& color) {
    text_on_bar_color_ = color;
    update();
}

void PercentBar::SetTextOnBackgroundColor(const QColor& color) {
    text_on_background_color_ = color;
    update();
}

}  // namespace korvane
