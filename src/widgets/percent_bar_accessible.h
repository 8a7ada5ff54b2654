#pragma once
// What assistive technology sees of a PercentBar: a progress bar with its
// range, its position and the line it shows as its value text, named by its
// caption label. Without it the bar is a nameless picture and a screen
// reader cannot follow a run.
#include <QAccessibleWidget>

namespace korvane {

class PercentBar;

class PercentBarAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    explicit PercentBarAccessible(PercentBar* bar);

    void* interface_cast(QAccessible::InterfaceType type) override;
    QString text(QAccessible::Text t) const override;

    QVariant currentValue() const override;
    void setCurrentValue(const QVariant&) override {}  // read-only
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override { return 0; }

  private:
    const PercentBar* bar() const;
};

// For QAccessible::installFactory.
QAccessibleInterface* PercentBarAccessibleFactory(const QString& class_name, QObject* object);

}  // namespace korvane
