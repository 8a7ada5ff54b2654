#pragma once
// The communication settings dialog (dialog 138, "通讯参数设置"): the link
// (network, serial, USB), the panel's address and port, the COM port.
// It works on a copy of the settings: OK validates and saves them to
// Para.dat (and puts them in use); Cancel leaves file and memory alone.
#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "settings/settings_record.h"
#include "widgets/ext_resizable_dialog.h"
#include "widgets/ip_address_edit.h"

namespace korvane {

class PanelController;
class UserPrompts;

inline constexpr char kInvalidPort[] = "无效的网络端口号!";

// The port text as the dialog accepts it for the network link: blanks, an
// optional sign and decimal digits, nothing after them, 0 to 65535; an empty
// text is 0. Nothing for anything else.
std::optional<int> ParseDialogPort(const QString& text);
// The COM number of a combo text: "COM12" (any letter case) or "12" gives 12;
// anything without digits 0.
uint16_t ParseComText(const QString& text);

class CCommunicationSet : public CExtResizableDialog {
    Q_OBJECT
  public:
    CCommunicationSet(PanelController& controller, UserPrompts& prompts, QWidget* parent = nullptr);

    // The settings as the dialog shows them now (link mode from the radios).
    const CommSettings& edited() const { return record_; }

  public slots:
    void accept() override;

  private:
    void ShowRecord();
    void OnLinkChosen(int mode);
    void UpdateDevice();

    PanelController& controller_;
    UserPrompts& prompts_;
    CommSettings record_;
    QButtonGroup* links_ = nullptr;
    QRadioButton* network_ = nullptr;
    QRadioButton* serial_ = nullptr;
    QRadioButton* usb_ = nullptr;
    CIpAddressEdit* ip_ = nullptr;
    QLineEdit* port_ = nullptr;
    QComboBox* com_ = nullptr;
    QLabel* device_ = nullptr;
};

}  // namespace korvane
