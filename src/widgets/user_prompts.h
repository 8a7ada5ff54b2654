#pragma once
// The questions and choosers the window puts to the user, behind one seam so
// that tests answer them in advance and no native dialog opens headless.
#include <QString>
#include <cstdint>
#include <optional>

class QWidget;

namespace korvane {

class UserPrompts {
  public:
    virtual ~UserPrompts() = default;
    // An existing file, or nothing when the user cancelled. `filter` in Qt's
    // form ("Files (*.*)"); `default_suffix` is added to a name typed without one.
    virtual std::optional<QString> ChooseOpenFile(QWidget* parent, const QString& caption,
                                                  const QString& folder, const QString& filter,
                                                  const QString& default_suffix) = 0;
    // A colour as 0x00BBGGRR, or nothing when the user cancelled.
    virtual std::optional<uint32_t> ChooseColour(QWidget* parent, uint32_t initial) = 0;
    // A yes/no question; true for yes.
    virtual bool Ask(QWidget* parent, const QString& question) = 0;
};

// The native dialogs.
class DesktopPrompts : public UserPrompts {
  public:
    std::optional<QString> ChooseOpenFile(QWidget* parent, const QString& caption,
                                          const QString& folder, const QString& filter,
                                          const QString& default_suffix) override;
    std::optional<uint32_t> ChooseColour(QWidget* parent, uint32_t initial) override;
    bool Ask(QWidget* parent, const QString& question) override;
};

}  // namespace korvane
