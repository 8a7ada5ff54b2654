#pragma once
// MaintenancePage: the panel maintenance page. Each button reads the page's
// controls, hands the matching core operation to the panel controller, which
// runs it off the user-interface thread, and shows what came back. While any
// operation runs the buttons that would start another are disabled; Cancel
// works only during an erase or programming run.
#include <QPointer>
#include <QString>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "link/message_sink.h"
#include "link/texts.h"
#include "protocol/panel_input_checks.h"
#include "protocol/panel_operations.h"
#include "transfer/image_kind.h"
#include "widgets/anchored_dialog.h"
#include "widgets/panel_controller.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimeEdit;

namespace korvane {

class LogoPickerDialog;
class PercentBar;
class IpAddressEdit;
class PanelController;
class UserPrompts;

// The new-port field holds a port from 1 to 65535; anything else is refused
// rather than cut to 16 bits (70000 would otherwise move the panel to 4464);
// the message is the settings dialog's kInvalidPort.
std::optional<uint16_t> ParseNewPanelPort(const QString& text);

// A value the input checks refuse is sent only when the user says yes to
// the concern, the checks' reasons (in the window's language) and
// kSendAnyway; warnings alone are shown once under kInputWarning.
inline constexpr char kNetworkConcern[] =
    QT_TRANSLATE_NOOP("korvane::Window", "新地址可能使面板无法再连接：");
inline constexpr char kClockConcern[] =
    QT_TRANSLATE_NOOP("korvane::Window", "面板不能保存并报回这个时间：");
inline constexpr char kImageConcern[] =
    QT_TRANSLATE_NOOP("korvane::Window", "这个文件会覆盖Flash中的下一个区域：");
inline constexpr char kSendAnyway[] = QT_TRANSLATE_NOOP("korvane::Window", "仍要发送吗？");
inline constexpr char kInputWarning[] = QT_TRANSLATE_NOOP("korvane::Window", "请注意：");
QString InputQuestion(const char* concern, const InputCheck& check);

// Where the logo file made from `picture` is written: beside it, or in the
// user's own data folder when its folder takes no new files.
std::filesystem::path LogoFileFor(const std::filesystem::path& picture);

inline constexpr char kConfiguringLink[] =
    QT_TRANSLATE_NOOP("korvane::Window", "正在配置通讯参数中，请等待............");
inline constexpr char kCancelRunQuestion[] = QT_TRANSLATE_NOOP(
    "korvane::Window", "烧写正在进行。是否取消并关闭窗口？\n面板将保留已经写入的内容。");

// Forwards a run's progress to the bar and keeps what the figures line
// below it needs; the worker writes, the page's timer reads.
class PageProgress : public ProgressSink {
  public:
    explicit PageProgress(ProgressSink& bar) : bar_(bar) {}
    void MoveTo(int position) override;
    void SetSpan(int lower, int upper) override;
    void Step() override;
    void SetText(std::string_view text) override;
    void ShowText(bool show) override { bar_.ShowText(show); }
    void Waiting(WaitFor what, uint32_t remaining_ms) override { bar_.Waiting(what, remaining_ms); }

    // A new run of `total_bytes` (0: no figures).
    void Begin(uint64_t total_bytes);
    // The figures line; empty while no data goes out.
    std::string FiguresText(UiLanguage language) const;

  private:
    ProgressSink& bar_;
    std::atomic<int> lower_{0}, upper_{0}, position_{0};
    std::atomic<uint64_t> total_{0};
    std::atomic<bool> sending_{false};
    std::atomic<int64_t> started_ns_{0};
};

class MaintenancePage : public AnchoredDialog {
    Q_OBJECT
  public:
    MaintenancePage(PanelController& panel, UserPrompts& prompts, QWidget* parent = nullptr);
    ~MaintenancePage() override;

    bool Busy() const { return busy_; }
    bool FlashRunActive() const { return busy_ && flash_run_; }
    // Closing during a run asks first: yes cancels the run and waits for its
    // worker (true), no keeps the window (false). A page operation is waited
    // for without a question. True when nothing runs.
    bool ConfirmClose();
    // Returns once the running operation, if any, has finished.
    void WaitUntilIdle();

    // Where the model list is looked for (the program's XMLName.dat by default).
    void SetModelsFile(std::optional<std::filesystem::path> file) {
        models_file_ = std::move(file);
    }
    const QString& remembered_picture() const { return picture_path_; }
    uint32_t remembered_colour() const { return picture_colour_; }
    // The run after the file chooser (also how scripts start one).
    // `status_text`: the status line shows it while the checks before the
    // transfer run.
    // `after_success`: called on this thread once the run has ended well.
    void ProgramImage(ImageKind kind, const std::filesystem::path& image,
                      const QString& status_text = QString(),
                      std::function<void()> after_success = {});
    // Runs the logo picker modally; tests answer it in place.
    void SetPickerRunner(std::function<int(LogoPickerDialog&)> run) {
        run_picker_ = std::move(run);
    }

  signals:
    void OperationFinished();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Escape is not the page's: it goes on to the window (a page that a
    // dialog's Escape hid would take its bar and Cancel out of sight).
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

  private:
    void BuildControls();
    void OpenPage();
    void OnLinkChoice(int index);
    void UpdateEnabling();

    void OnGetAddress();
    void OnSetAddress();
    void OnGetClock();
    void OnSetClock();
    void OnEraseFlash();
    void OnKernel();
    void OnBootLoader();
    void OnFileSystem();
    void OnLogo();
    void OnCancel();
    void OnEndDownload();
    void OnEnterDownload();

    // The new address texts, or nothing (with a message) when the port is
    // not a port.
    std::optional<NetworkTexts> ReadNetworkTexts();
    // The same when every field is whole, else nothing and no message: the
    // clock saves the address record along only when there is one to save.
    std::optional<NetworkTexts> WholeNetworkTexts() const;
    NetworkTexts NetworkTextsWith(uint16_t port) const;
    // Runs `work` off the user-interface thread, then `then` on it.
    void Launch(bool flash_run, PanelController::Work work, std::function<void()> then = {});
    void ChooseAndProgram(ImageKind kind);
    // Asks before a refused value goes out and shows warnings; true to go on.
    bool ConfirmInput(const InputCheck& check, const char* concern);
    MessageSink& Messages();

    PanelController& panel_;
    UserPrompts& prompts_;
    std::optional<std::filesystem::path> models_file_;
    std::function<int(LogoPickerDialog&)> run_picker_;
    QString picture_path_;
    uint32_t picture_colour_ = 0;
    bool busy_ = false;
    bool flash_run_ = false;
    bool opened_ = false;
    // What the status line says once a run has ended and no figures show
    // (a cancelled run); cleared when the next operation starts.
    QString status_note_;
    QPointer<QWidget> watched_window_;

    QComboBox* link_choice_;   // 1097
    QComboBox* com_choice_;    // 1098
    IpAddressEdit* link_ip_;   // 1025
    QLineEdit* link_port_;     // 1033
    IpAddressEdit* panel_ip_;  // 1064
    QLineEdit* panel_port_;    // 1063
    QPushButton* get_address_;
    IpAddressEdit* new_ip_;   // 1032
    QLineEdit* new_port_;     // 1031
    IpAddressEdit* gateway_;  // 1112
    IpAddressEdit* mask_;     // 1113
    QPushButton* set_address_;
    QWidget* mac_group_;
    QPushButton* change_mac_;
    QLineEdit* clock_text_;  // 1105
    QPushButton* get_clock_;
    QDateEdit* new_date_;
    QTimeEdit* new_time_;
    QPushButton* set_clock_;
    QPushButton* boot_loader_;
    QPushButton* kernel_;
    QPushButton* logo_;
    QPushButton* erase_;
    QPushButton* more_;
    QMenu* more_menu_;
    PercentBar* bar_;
    QLabel* figures_;
    QPushButton* cancel_;

    std::unique_ptr<ProgressSink> bar_sink_;
    std::unique_ptr<PageProgress> progress_;
    int timer_ = 0;
};

}  // namespace korvane
