#pragma once
// What assistive technology sees of an IpAddressEdit: one grouping named by
// its caption label whose value text is the whole dotted address, with the
// four octet fields inside it. Without it a screen reader met a nameless
// container and had to piece the address together field by field.
#include <QAccessibleWidget>

namespace korvane {

class IpAddressEdit;

class IpAddressEditAccessible : public QAccessibleWidget {
  public:
    explicit IpAddressEditAccessible(IpAddressEdit* edit);

    QString text(QAccessible::Text t) const override;
};

// For QAccessible::installFactory.
QAccessibleInterface* IpAddressEditAccessibleFactory(const QString& class_name, QObject* object);

}  // namespace korvane
