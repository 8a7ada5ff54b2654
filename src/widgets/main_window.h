#pragma once
// The main window (dialog 102, "T3固件烧写工具(V1.0.0)"): the page list on
// the left, the page area on the right, and below the page list the current
// link settings with the "设置" button that opens the settings dialog.
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "system/ui_language.h"
#include "widgets/anchored_dialog.h"
#include "widgets/page_list.h"

class QComboBox;
class QGroupBox;

namespace korvane {

class PanelController;
class UserPrompts;

inline constexpr int kLinkDisplayPeriodMs = 200;

class MainWindow : public AnchoredDialog {
    Q_OBJECT
  public:
    MainWindow(PanelController& controller, UserPrompts& prompts, QWidget* parent = nullptr);

    // Lists `page` under `caption` with `icon` and lays it over the page
    // area; the window takes the page as its child. The first page is selected.
    void AddPage(const QString& caption, const QIcon& icon, QWidget* page);
    int PageCount() const { return page_list_->EntryCount(); }
    int CurrentPage() const;
    QWidget* Page(int i) const { return page_list_->Entry(i)->page; }

    // Shows the settings in use in the link fields (also every 200 ms).
    void RefreshLinkDisplay();
    void OnPrevious();
    void OnNext();
    // Runs the settings dialog modally; the display follows at the next tick.
    // Refused (the button disabled, with a tooltip why) while panel work runs.
    void OnSettings();
    void ShowAbout();

  signals:
    // The user chose another language for the window (saved already); the
    // program builds the window again in it.
    void LanguageChosen(UiLanguage language);

  public slots:
    // The close box: while panel work runs, the transfer is cancelled and
    // the window closes once the work has ended.
    void reject() override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    // Escape does nothing here: only dialogs are cancelled by it.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void OnTick();
    void UpdateSettingsLock();
    void OnLanguageActivated(int index);

    PanelController& controller_;
    UserPrompts& prompts_;
    PageList* page_list_ = nullptr;
    QGroupBox* page_area_ = nullptr;
    QLabel* mode_ = nullptr;
    QLabel* address_ = nullptr;
    QLabel* port_ = nullptr;
    QLabel* com_ = nullptr;
    QPushButton* settings_ = nullptr;
    QComboBox* language_ = nullptr;
    QSize left_column_;  // the room the page list and the link display need
    QTimer timer_;
    bool close_pending_ = false;
};

}  // namespace korvane
