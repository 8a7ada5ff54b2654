#pragma once
// LogoPickerDialog: chooses the logo picture, its background colour and the
// panel's touch-screen type. Refuses a picture larger than the chosen screen
// when it is selected, and one of more than 131072 pixels at OK.
#include <QDialog>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "models/panel_model.h"

class QComboBox;
class QPushButton;

namespace korvane {

class LogoPreview;
class MessageSink;
class UserPrompts;

inline constexpr char kLogoPictureTooLarge[] = "图片尺寸大于触摸屏的大小，打开图片错误！";
inline constexpr char kNoPictureChosen[] = "未选择图片!";
inline constexpr char kPictureTooManyPixels[] = "图片过大!";

class LogoPickerDialog : public QDialog {
    Q_OBJECT
  public:
    // `models_file`: where the model list is read from (nothing: no models).
    LogoPickerDialog(MessageSink& messages, UserPrompts& prompts,
                     std::optional<std::filesystem::path> models_file, QWidget* parent = nullptr);
    ~LogoPickerDialog() override;

    // In before the dialog opens, out after OK.
    const QString& picture_path() const { return picture_path_; }
    void SetPicturePath(const QString& path) { picture_path_ = path; }
    uint32_t background() const { return background_; }
    void SetBackground(uint32_t colour) { background_ = colour; }
    // The selected touch-screen type; null while the list is empty.
    const PanelModel* current_model() const;
    const std::vector<PanelModel>& models() const { return models_; }

    // Dialog opening: the remembered picture on the remembered colour, the
    // colour button, the model list. Runs once, when the dialog is first shown.
    void InitDialog();
    // "Select" after the file chooser: loads and checks the picture.
    void SelectPicture(const QString& path);
    // The colour chooser's report for the background button.
    void OnColourChanged(uint32_t colour);
    void SelectModel(int index);

    LogoPreview* pane() const { return pane_; }

  public slots:
    void accept() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void OnSelect();
    void OnColourButton();
    void PaintColourButton();

    MessageSink& messages_;
    UserPrompts& prompts_;
    std::optional<std::filesystem::path> models_file_;
    QString picture_path_;
    uint32_t background_ = 0;
    int current_ = -1;
    std::vector<PanelModel> models_;
    bool initialised_ = false;

    LogoPreview* pane_;
    QPushButton* select_;
    QPushButton* colour_;
    QComboBox* types_;
};

}  // namespace korvane
