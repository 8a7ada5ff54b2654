#include "widgets/logo_picker_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include "link/message_sink.h"
#include "logo/logo_limits.h"
#include "logo/qt_path.h"
#include "models/panel_models.h"
#include "widgets/control_names.h"
#include "widgets/logo_preview.h"
#include "widgets/user_prompts.h"

namespace korvane {

namespace {

// The picture formats our picture holder reads; Qt wants the patterns
// separated by spaces.
constexpr char kPictureFilter[] = "Graphics File(*.bmp *.gif *.jpg *.jpeg *.png)";

}  // namespace

LogoPickerDialog::LogoPickerDialog(MessageSink& messages, UserPrompts& prompts,
                                   std::optional<std::filesystem::path> models_file,
                                   QWidget* parent)
    : QDialog(parent),
      messages_(messages),
      prompts_(prompts),
      models_file_(std::move(models_file)),
      pane_(new LogoPreview(this)),
      select_(new QPushButton(QStringLiteral("&Select"), this)),
      colour_(new QPushButton(QString::fromUtf8("LOGO背景色(&C)"), this)),
      types_(new QComboBox(this)) {
    setObjectName(logo_picker_names::kDialog);
    setWindowTitle(QString::fromUtf8("选择LOGO图片"));
    pane_->setObjectName(logo_picker_names::kPreview);
    select_->setObjectName(logo_picker_names::kSelectPictureButton);
    colour_->setObjectName(logo_picker_names::kBackgroundButton);
    types_->setObjectName(logo_picker_names::kPanelTypeChoice);
    pane_->setAccessibleName(QString::fromUtf8("LOGO图片"));

    auto* type_label = new QLabel(QString::fromUtf8("触摸屏类型(&T)："), this);
    type_label->setBuddy(types_);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    ok->setObjectName(logo_picker_names::kOkButton);
    cancel->setObjectName(logo_picker_names::kCancelButton);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &LogoPickerDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &LogoPickerDialog::reject);

    auto* grid = new QGridLayout(this);
    grid->addWidget(pane_, 0, 0, 1, 3);
    grid->setRowStretch(0, 1);
    grid->addWidget(select_, 1, 0);
    grid->addWidget(colour_, 1, 1);
    grid->addWidget(type_label, 2, 0);
    grid->addWidget(types_, 2, 1, 1, 2);
    grid->addWidget(buttons, 3, 0, 1, 3);

    connect(select_, &QPushButton::clicked, this, &LogoPickerDialog::OnSelect);
    connect(colour_, &QPushButton::clicked, this, &LogoPickerDialog::OnColourButton);
    connect(types_, &QComboBox::currentIndexChanged, this, &LogoPickerDialog::SelectModel);
}

LogoPickerDialog::~LogoPickerDialog() = default;

const PanelModel* LogoPickerDialog::current_model() const {
    if (current_ < 0 || current_ >= static_cast<int>(models_.size()))
        return nullptr;
    return &models_[static_cast<size_t>(current_)];
}

void LogoPickerDialog::showEvent(QShowEvent* event) {
    InitDialog();
    QDialog::showEvent(event);
}

void LogoPickerDialog::InitDialog() {
    if (initialised_)
        return;
    initialised_ = true;
    if (!picture_path_.isEmpty()) {
        pane_->picture().Load(PathFromQString(picture_path_));
        pane_->SetColour(background_);
        pane_->SetShown(true);
        pane_->update();
    }
    PaintColourButton();
    models_.clear();
    if (models_file_)
        LoadPanelModels(*models_file_, models_);
    QSignalBlocker quiet(types_);
    types_->clear();
    for (const PanelModel& m : models_)
        types_->addItem(QString::fromStdU16String(m.name));
    current_ = models_.empty() ? -1 : 0;
    types_->setCurrentIndex(current_);
}

void LogoPickerDialog::SelectModel(int index) {
    // A smaller screen does not drop the picture already chosen: the size
    // is checked only when a picture is selected.
    current_ = index;
}

void LogoPickerDialog::OnSelect() {
    const auto chosen =
        prompts_.ChooseOpenFile(this, QString(), QString::fromUtf8(kPictureFilter), QString());
    if (chosen)
        SelectPicture(*chosen);
}

void LogoPickerDialog::SelectPicture(const QString& path) {
    Picture& picture = pane_->picture();
    picture.Release();
    // A file that cannot be decoded leaves the pane empty: 0 × 0 fits any
    // screen and shows only the background.
    picture.Load(PathFromQString(path));
    const QSize size = picture.NaturalSize();
    const PanelModel* model = current_model();
    if (!model || CheckLogoPicture(size.width(), size.height(), model->screen_width,
                                   model->screen_height) != LogoPictureFit::LargerThanScreen) {
        pane_->SetShown(true);
        pane_->update();
        picture_path_ = path;
        return;
    }
    messages_.Show(MessageKind::AppDefault, kLogoPictureTooLarge);
    picture.Release();
    picture_path_.clear();
    pane_->SetShown(false);
    pane_->update();
}

void LogoPickerDialog::OnColourButton() {
    const auto chosen = prompts_.ChooseColour(this, background_);
    if (chosen)
        OnColourChanged(*chosen);
}

void LogoPickerDialog::OnColourChanged(uint32_t colour) {
    background_ = colour;
    pane_->SetColour(colour);
    PaintColourButton();
    pane_->update();
}

void LogoPickerDialog::PaintColourButton() {
    // Beyond 0x00FFFFFF the button shows black; the value itself is kept.
    const uint32_t shown = background_ > 0x00FFFFFFu ? 0u : background_;
    QPixmap swatch(16, 16);
    swatch.fill(ColourFromBgr(shown));
    QPainter frame(&swatch);
    frame.setPen(palette().color(QPalette::WindowText));
    frame.drawRect(0, 0, 15, 15);
    colour_->setIcon(QIcon(swatch));
    colour_->setAccessibleDescription(ColourFromBgr(shown).name());
}

void LogoPickerDialog::accept() {
    if (picture_path_.isEmpty()) {
        messages_.Show(MessageKind::Error, kNoPictureChosen);
        return;
    }
    Picture fresh;
    fresh.Load(PathFromQString(picture_path_));
    const QSize size = fresh.NaturalSize();
    if (int64_t{size.width()} * size.height() > kLogoMaxPixels) {
        messages_.Show(MessageKind::Error, kPictureTooManyPixels);
        return;
    }
    QDialog::accept();
}

}  // namespace korvane
