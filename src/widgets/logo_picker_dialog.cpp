#include "widgets/logo_picker_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include "link/message_sink.h"
#include "logo/logo_limits.h"
#include "logo/qt_path.h"
#include "models/panel_models.h"
#include "system/file_read_check.h"
#include "widgets/control_names.h"
#include "widgets/logo_preview.h"
#include "widgets/user_prompts.h"
#include "widgets/window_texts.h"

namespace korvane {

namespace {

// The picture formats our picture holder reads; Qt wants the patterns
// separated by spaces.
constexpr char kPictureFilter[] = "Graphics File(*.bmp *.gif *.jpg *.jpeg *.png)";

int64_t Pixels(QSize size) {
    return int64_t{size.width()} * size.height();
}

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
      colour_(new QPushButton(tr("LOGO背景色(&C)"), this)),
      types_(new QComboBox(this)) {
    setObjectName(logo_picker_names::kDialog);
    setWindowTitle(tr("选择LOGO图片"));
    pane_->setObjectName(logo_picker_names::kPreview);
    select_->setObjectName(logo_picker_names::kSelectPictureButton);
    colour_->setObjectName(logo_picker_names::kBackgroundButton);
    types_->setObjectName(logo_picker_names::kPanelTypeChoice);
    pane_->setAccessibleName(tr("LOGO图片"));
    pane_->SetColour(background_);

    auto* type_label = new QLabel(tr("触摸屏类型(&T)："), this);
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
    // The pane shows the logo's background from the start, picture or not.
    pane_->SetColour(background_);
    if (!picture_path_.isEmpty()) {
        // A remembered picture that has gone or changed since is named at OK,
        // which checks it again; here the pane shows what can be shown.
        pane_->picture().Load(PathFromQString(picture_path_));
        pane_->SetShown(true);
    }
    pane_->update();
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

bool LogoPickerDialog::LoadChecked(const QString& path, bool against_screen, Picture& into) {
    namespace fs = std::filesystem;
    const fs::path file = PathFromQString(path);
    const QString named = QDir::toNativeSeparators(path);
    const auto refuse = [this](const QString& text) {
        messages_.Show(MessageKind::Error, text.toStdString());
        return false;
    };
    if (const std::error_code ec = CheckReadable(file)) {
        std::error_code ignored;
        if (fs::symlink_status(file, ignored).type() == fs::file_type::not_found)
            return refuse(WindowText(WindowTextId::PictureMissing).arg(named));
        return refuse(WindowText(WindowTextId::PictureCannotOpen)
                          .arg(named, QString::fromStdString(ec.message())));
    }
    std::error_code size_error;
    if (fs::file_size(file, size_error) == 0 && !size_error)
        return refuse(WindowText(WindowTextId::PictureEmpty).arg(named));
    const PanelModel* model = against_screen ? current_model() : nullptr;
    const auto larger_than_screen = [model](QSize size) {
        return model && CheckLogoPicture(size.width(), size.height(), model->screen_width,
                                         model->screen_height) == LogoPictureFit::LargerThanScreen;
    };
    // The header first: a picture too large to decode still has a size to
    // compare with the screen.
    std::string why;
    const std::optional<QSize> declared = Picture::ReadDeclaredSize(file, &why);
    if (!declared) {
        return refuse(
            WindowText(WindowTextId::PictureUndecodable).arg(named, QString::fromStdString(why)));
    }
    if (larger_than_screen(*declared)) {
        messages_.Show(MessageKind::AppDefault, Translated(kLogoPictureTooLarge).toStdString());
        return false;
    }
    Picture decoded;
    if (!decoded.Load(file, &why)) {
        // The decoder refuses pictures beyond its memory limit; far beyond
        // what a logo may have, that is the reason worth telling.
        if (Pixels(*declared) > kLogoMaxPixels) {
            // One arg() call: a "%2" in the name must stay as it is.
            return refuse(WindowText(WindowTextId::PictureTooLargeToOpen)
                              .arg(named, QString::number(declared->width()),
                                   QString::number(declared->height())));
        }
        return refuse(
            WindowText(WindowTextId::PictureUndecodable).arg(named, QString::fromStdString(why)));
    }
    // The header may have told a size other than the pixels'.
    if (larger_than_screen(decoded.NaturalSize())) {
        messages_.Show(MessageKind::AppDefault, Translated(kLogoPictureTooLarge).toStdString());
        return false;
    }
    into = std::move(decoded);
    return true;
}

void LogoPickerDialog::SelectPicture(const QString& path) {
    Picture chosen;
    if (!LoadChecked(path, true, chosen))
        return;
    pane_->picture() = std::move(chosen);
    pane_->SetShown(true);
    pane_->update();
    picture_path_ = path;
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
        messages_.Show(MessageKind::Error, Translated(kNoPictureChosen).toStdString());
        return;
    }
    // Checked again: the picture may have gone or changed since it was
    // chosen, or was remembered from an earlier session. The screen is not
    // checked again: a smaller screen chosen later keeps the picture.
    Picture fresh;
    if (!LoadChecked(picture_path_, false, fresh))
        return;
    if (Pixels(fresh.NaturalSize()) > kLogoMaxPixels) {
        messages_.Show(MessageKind::Error, Translated(kPictureTooManyPixels).toStdString());
        return;
    }
    QDialog::accept();
}

}  // namespace korvane
