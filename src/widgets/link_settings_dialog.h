#pragma once
// The communication settings dialog (dialog 138, "通讯参数设置"): the link
// (network, serial, USB), the panel's address and port, the COM port.
// It works on a copy of the settings: OK validates and saves them to
// Para.dat (and puts them in use); Cancel leaves file and memory alone.
// "查找面板" lists the panels that answer on the network; picking one fills
// the address and port.
#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <memory>
#include <vector>

#include "discovery/discover_panels.h"

#include "settings/settings_record.h"
#include "widgets/anchored_dialog.h"
#include "widgets/ip_address_edit.h"

class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace korvane {

class PanelController;
class UserPrompts;

inline constexpr char kInvalidPort[] = QT_TRANSLATE_NOOP("korvane::Window", "无效的网络端口号!");
inline constexpr char kFindPanels[] = QT_TRANSLATE_NOOP("korvane::Window", "查找面板");

// The port text as the dialog accepts it for the network link: blanks, an
// optional sign and decimal digits, nothing after them, 1 to 65535. Nothing
// for anything else (an empty text too: no panel listens on port 0).
std::optional<int> ParseDialogPort(const QString& text);
// The COM number of a combo text: "COM12" (any letter case) or "12" gives 12;
// anything without digits 0.
uint16_t ParseComText(const QString& text);

class LinkSettingsDialog : public AnchoredDialog {
    Q_OBJECT
  public:
    LinkSettingsDialog(PanelController& controller, UserPrompts& prompts,
                       QWidget* parent = nullptr);
    // A search still running is cancelled and waited for (a few tens of ms).
    ~LinkSettingsDialog() override;

    // The settings as the dialog shows them now (link mode from the radios).
    const CommSettings& edited() const { return record_; }

    // Where "查找面板" asks; the port is the dialog's. By default the
    // broadcast address of every interface. Tests give a loopback range so
    // that nothing leaves the machine.
    void SetDiscoverTarget(const DiscoverOptions& options) { discover_ = options; }
    bool discovering() const;
    // The panels of the last search, in the list's order.
    const std::vector<FoundPanel>& found() const { return found_; }

  public slots:
    void accept() override;
    // Starts a search off the user-interface thread; the list fills when it ends.
    void FindPanels();

  private:
    void ShowRecord();
    void OnLinkChosen(int mode);
    // Why the network link's address or port cannot be saved, with the
    // field to fix focused; false when they can.
    bool RefuseNetworkFields();
    void ShowSaveFailure();
    void UpdateDevice();
    void ShowFound(const DiscoverResult& result);
    void UsePanel(int row);

    PanelController& controller_;
    UserPrompts& prompts_;
    CommSettings record_;
    QButtonGroup* links_ = nullptr;
    QRadioButton* network_ = nullptr;
    QRadioButton* serial_ = nullptr;
    QRadioButton* usb_ = nullptr;
    IpAddressEdit* ip_ = nullptr;
    QLineEdit* port_ = nullptr;
    QComboBox* com_ = nullptr;
    QLabel* device_ = nullptr;
    QPushButton* find_ = nullptr;
    QTreeWidget* found_list_ = nullptr;
    QProgressBar* find_progress_ = nullptr;
    QLabel* find_status_ = nullptr;

    DiscoverOptions discover_;
    std::vector<FoundPanel> found_;
    // The search's progress, fed from the search's thread.
    std::unique_ptr<ProgressSink> find_feed_;
    bool searching_ = false;  // from FindPanels until its result is shown
};

}  // namespace korvane
