#pragma once
// LogoPickerDialog: chooses the logo picture, its background colour and the
// panel's touch-screen type. A chosen picture is decoded at once: one that is
// missing, empty, cannot be decoded or is too large to open, or is larger
// than the chosen screen, is refused with a message naming it and the
// earlier choice stays. At OK the picture is checked again (a remembered one
// may have gone since) and one of more than 131072 pixels is refused.
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
class Picture;
class UserPrompts;

inline constexpr char kLogoPictureTooLarge[] =
    QT_TRANSLATE_NOOP("korvane::Window", "图片尺寸大于触摸屏的大小，打开图片错误！");
inline constexpr char kNoPictureChosen[] = QT_TRANSLATE_NOOP("korvane::Window", "未选择图片!");
inline constexpr char kPictureTooManyPixels[] = QT_TRANSLATE_NOOP("korvane::Window", "图片过大!");

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
    // "Select" after the file chooser: loads and checks the picture; a
    // refused one leaves the earlier choice.
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
    // Decodes the picture at `path` into `into` after the checks; false,
    // after a message naming the picture and why, when it cannot be used.
    // `against_screen`: a picture larger than the chosen screen is refused too.
    bool LoadChecked(const QString& path, bool against_screen, Picture& into);
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
