#pragma once
// BatchPage: the same steps (boot loader, kernel, file system, logo, clock)
// on many panels at once. The panels are typed, pasted or found; Start runs
// the core's BatchRun as a job of the panel controller, so that the one
// "panel work is running" state there also holds the maintenance page, the
// settings and the language while a batch goes. Each row's bar and verdict
// come back to the user-interface thread queued; the closing summary line
// counts the verdicts, and the batch's records can be exported from the run
// log as CSV.
#include <QPointer>
#include <QString>
#include <QWidget>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/link_settings.h"
#include "transfer/batch_run.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace korvane {

class DesktopProgressSink;
class PanelController;
class PercentBar;
class UserPrompts;

inline constexpr char kBatchCancelQuestion[] = QT_TRANSLATE_NOOP(
    "korvane::Window", "批量烧写正在进行。是否取消并关闭窗口？\n各面板将保留已经写入的内容。");

class BatchPage : public QWidget {
    Q_OBJECT
  public:
    enum Column { kTargetColumn, kProgressColumn, kResultColumn, kMessageColumn };

    BatchPage(PanelController& panel, UserPrompts& prompts, QWidget* parent = nullptr);
    ~BatchPage() override;

    // Reads entries as the Add field does (ADDR[:PORT], A-B, a serial
    // device, separated by white space, commas or line ends). Entries that
    // are no panel are named in one message and returned, so that the
    // field can keep them; panels already listed are skipped.
    QString AddEntries(const QString& text);
    int RowCount() const { return static_cast<int>(rows_.size()); }
    bool Running() const { return running_; }
    const std::string& batch_id() const { return batch_id_; }
    // Where the logo's model list is read from (the program's XMLName.dat by default).
    void SetModelsFile(std::optional<std::filesystem::path> file);
    // Closing the window during a batch asks first; true to let it close
    // (the batch is then cancelled).
    bool ConfirmClose();

    // The buttons' work, also for tests and the screenshot tool.
    void Start();
    void CancelBatch();
    void FindPanels();
    void ExportLog();

  signals:
    void BatchFinished();
    void SearchFinished();

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

  private:
    friend class BatchFeed;
    struct Row {
        LinkSettings target;
        PercentBar* bar = nullptr;
        std::unique_ptr<DesktopProgressSink> sink;
        std::unique_ptr<ProgressSink> feed;  // what the run drives: the bar's percentage
        int steps = 0;                       // of the running batch
    };
    struct ImageStep {
        QCheckBox* check;
        QLineEdit* file;
        QPushButton* browse;
    };

    void BuildControls();
    ImageStep AddImageStep(int row, const QString& caption, const char* check_name,
                           const char* edit_name, const char* browse_name);
    void AddRow(const LinkSettings& target);
    void SetCell(int row, Column column, const QString& text);
    // The progress cell holds its bar as a widget, which the table's
    // accessible cells do not show: the cell's accessible text repeats the
    // bar's, so that a screen reader walking the table hears each row's progress.
    void MirrorBars();
    void OnAdd();
    void OnPaste();
    void OnRemove();
    void OnClear();
    void Browse(QLineEdit* edit, const QString& filter);
    void UpdateEnabling();
    void Refuse(const QString& text);
    // The checked steps, images read; nothing (after saying why) when one
    // cannot serve.
    std::optional<std::vector<BatchStep>> ReadSteps();
    std::optional<std::filesystem::path> MakeLogo();
    void WatchWindow();

    // From the batch's rows, on this thread.
    void OnRowStarted(int row);
    void OnStepStarted(int row, int step);
    void ShowRow(const BatchRowResult& result);
    void OnBatchEnded(const std::vector<BatchRowResult>& results);

    PanelController& panel_;
    UserPrompts& prompts_;
    std::optional<std::filesystem::path> models_file_;
    std::vector<Row> rows_;
    bool running_ = false;
    bool searching_ = false;
    int step_count_ = 0;
    std::string batch_id_;
    std::chrono::steady_clock::time_point started_;
    QPointer<QWidget> watched_window_;
    int timer_ = 0;

    QLineEdit* add_edit_;
    QPushButton* add_;
    QPushButton* paste_;
    QLineEdit* range_edit_;
    QPushButton* find_;
    QTableWidget* table_;
    QPushButton* remove_;
    QPushButton* clear_;
    ImageStep boot_loader_;
    ImageStep kernel_;
    ImageStep file_system_;
    ImageStep logo_;
    QComboBox* model_;
    QCheckBox* clock_;
    QPushButton* start_;
    QPushButton* cancel_;
    QPushButton* export_;
    QLabel* status_;
    QLabel* summary_;
    std::unique_ptr<ProgressSink> find_progress_;
};

// "共 8 台：成功 5，失败 2，取消 1（用时 12.3 秒）" in the window's language.
QString BatchSummary(const std::vector<BatchRowResult>& results, int64_t ms);

}  // namespace korvane
