#include "widgets/ip_address_edit_accessible.h"

#include "widgets/ip_address_edit.h"

namespace korvane {

IpAddressEditAccessible::IpAddressEditAccessible(IpAddressEdit* edit)
    : QAccessibleWidget(edit, QAccessible::Grouping) {}

QString IpAddressEditAccessible::text(QAccessible::Text t) const {
    // The name stays the caption's (the label's buddy); the value is what
    // the four fields read together.
    if (t == QAccessible::Value)
        return static_cast<const IpAddressEdit*>(widget())->text();
    return QAccessibleWidget::text(t);
}

QAccessibleInterface* IpAddressEditAccessibleFactory(const QString& class_name, QObject* object) {
    if (class_name == QLatin1String(IpAddressEdit::staticMetaObject.className()) &&
        object->isWidgetType())
        return new IpAddressEditAccessible(static_cast<IpAddressEdit*>(object));
    return nullptr;
}

}  // namespace korvane
