#include "widgets/percent_bar_accessible.h"

#include <algorithm>

#include "widgets/percent_bar.h"

namespace korvane {

PercentBarAccessible::PercentBarAccessible(PercentBar* bar)
    : QAccessibleWidget(bar, QAccessible::ProgressBar) {}

const PercentBar* PercentBarAccessible::bar() const {
    return static_cast<const PercentBar*>(widget());
}

void* PercentBarAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::ValueInterface)
        return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString PercentBarAccessible::text(QAccessible::Text t) const {
    // The value text is what the bar shows: the run's text and percentage.
    if (t == QAccessible::Value)
        return bar()->CurrentText();
    return QAccessibleWidget::text(t);
}

QVariant PercentBarAccessible::currentValue() const {
    const int lower = bar()->Lower(), upper = bar()->Upper();
    return lower < upper ? std::clamp(bar()->Position(), lower, upper) : lower;
}

QVariant PercentBarAccessible::maximumValue() const {
    return std::max(bar()->Lower(), bar()->Upper());
}

QVariant PercentBarAccessible::minimumValue() const {
    return bar()->Lower();
}

QAccessibleInterface* PercentBarAccessibleFactory(const QString& class_name, QObject* object) {
    if (class_name == QLatin1String(PercentBar::staticMetaObject.className()) &&
        object->isWidgetType())
        return new PercentBarAccessible(static_cast<PercentBar*>(object));
    return nullptr;
}

}  // namespace korvane
