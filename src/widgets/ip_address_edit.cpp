#include "widgets/ip_address_edit.h"

#include <QAccessible>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <algorithm>

#include "widgets/ip_address_edit_accessible.h"

namespace korvane {

IpAddressEdit::IpAddressEdit(QWidget* parent) : QWidget(parent) {
    // Assistive technology reads the control as one address named by its
    // caption; the octet fields stay reachable inside it.
    static const bool accessible =
        (QAccessible::installFactory(&IpAddressEditAccessibleFactory), true);
    (void)accessible;
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    // The dots are painted in the gaps (see paintEvent): as labels they were
    // read out as four items of their own.
    const int gap = fontMetrics().horizontalAdvance(QLatin1Char('.')) + 4;
    const int width = fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12;
    for (size_t i = 0; i < octets_.size(); ++i) {
        auto* e = new QLineEdit(this);
        e->setValidator(new QIntValidator(0, 255, e));
        e->setMaxLength(3);
        e->setAlignment(Qt::AlignCenter);
        e->setFixedWidth(width);
        e->setAccessibleName(QStringLiteral("IP %1").arg(i + 1));
        e->installEventFilter(this);
        // Tab moves past the whole address, as it does past one control;
        // '.' and a third digit move between the fields.
        if (i > 0)
            e->setFocusPolicy(Qt::ClickFocus);
        octets_[i] = e;
        if (i > 0)
            row->addSpacing(gap);
        row->addWidget(e);
        connect(e, &QLineEdit::textChanged, this, [this] {
            if (QAccessible::isActive()) {
                QAccessibleValueChangeEvent changed(this, text());
                QAccessible::updateAccessibility(&changed);
            }
        });
        connect(e, &QLineEdit::textEdited, this, [this, e, i](const QString& t) {
            // The validator lets 256 to 999 through while typing; an octet
            // above 255 becomes 255, as it would be cut to its low byte otherwise.
            if (t.toInt() > 255)
                e->setText(QStringLiteral("255"));
            if (t.size() == 3 && i + 1 < octets_.size()) {
                octets_[i + 1]->setFocus();
                octets_[i + 1]->selectAll();
            }
        });
    }
    setFocusProxy(octets_[0]);
}

QString IpAddressEdit::text() const {
    QStringList parts;
    for (const QLineEdit* e : octets_)
        parts.append(e->text());
    return parts.join(QLatin1Char('.'));
}

bool IpAddressEdit::IsComplete() const {
    return std::none_of(octets_.begin(), octets_.end(),
                        [](const QLineEdit* e) { return e->text().isEmpty(); });
}

void IpAddressEdit::setText(const QString& dotted) {
    const QStringList parts = dotted.split(QLatin1Char('.'));
    for (size_t i = 0; i < octets_.size(); ++i)
        octets_[i]->setText(i < static_cast<size_t>(parts.size()) ? parts[static_cast<int>(i)]
                                                                  : QString());
}

void IpAddressEdit::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    for (size_t i = 1; i < octets_.size(); ++i) {
        const QRect before = octets_[i - 1]->geometry();
        const QRect gap(before.right() + 1, 0, octets_[i]->geometry().left() - before.right() - 1,
                        height());
        style()->drawItemText(&painter, gap, Qt::AlignCenter, palette(), isEnabled(),
                              QStringLiteral("."), QPalette::WindowText);
    }
}

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    for (size_t i = 0; i < octets_.size(); ++i) {
        if (watched != octets_[i])
            continue;
        if (key->text() == QLatin1String(".")) {
            // A dot right after a field moved on by itself (three digits) is
            // the same separator typed out: it stays in the empty field.
            if (!octets_[i]->text().isEmpty() && i + 1 < octets_.size()) {
                octets_[i + 1]->setFocus();
                octets_[i + 1]->selectAll();
            }
            return true;
        }
        if (key->key() == Qt::Key_Backspace && octets_[i]->text().isEmpty() && i > 0) {
            octets_[i - 1]->setFocus();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace korvane
