#pragma once
// An IPv4 address control: four octet fields (0 to 255) with dots painted
// between them.
// Typing '.' or a third digit moves on to the next field; Backspace in an
// empty field moves back.
#include <QLineEdit>
#include <QString>
#include <QWidget>
#include <array>

namespace korvane {

class IpAddressEdit : public QWidget {
    Q_OBJECT
  public:
    explicit IpAddressEdit(QWidget* parent = nullptr);
    // "a.b.c.d"; an empty field reads as an empty part ("10..0.1").
    QString text() const;
    // Every field holds a number.
    bool IsComplete() const;
    // Fills the fields from dotted text; missing parts stay empty.
    void setText(const QString& dotted);
    QLineEdit* octet(int i) const { return octets_[static_cast<size_t>(i)]; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    std::array<QLineEdit*, 4> octets_{};
};

}  // namespace korvane
