// The logo picker's size rules, colour and remembered picture, and the pane
// it paints.
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>

#include "link/message_sink.h"
#include "widgets/control_names.h"
#include "widgets/logo_picker_dialog.h"
#include "widgets/logo_preview.h"
#include "widgets/user_prompts.h"
#include "widgets/window_texts.h"

using namespace korvane;

namespace {

// A model list with the screens the size rules are checked against.
void WriteModels(const QString& path) {
    std::ofstream out(path.toStdString());
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ge><HMI_Types>\n";
    const int sizes[][2] = {{320, 240}, {480, 480}, {640, 480}, {160, 120}};
    int id = 1;
    for (const auto& s : sizes) {
        out << "<HMI_Type id=\"" << id++ << "\" name=\"" << s[0] << " x " << s[1]
            << "\"><screen_size_cx>" << s[0] << "</screen_size_cx><screen_size_cy>" << s[1]
            << "</screen_size_cy></HMI_Type>\n";
    }
    out << "</HMI_Types></ge>\n";
}

// The message names the picture as the first line of the window text `id`
// says (the second line holds the decoder's reason, which varies).
bool Names(const Message& m, WindowTextId id, const QString& path) {
    const QString first =
        WindowText(id).section(QLatin1Char('\n'), 0, 0).arg(QDir::toNativeSeparators(path));
    // Compared as the sink has it, in UTF-8.
    const std::string expected = first.toStdString();
    if (m.kind == MessageKind::Error && m.text.rfind(expected, 0) == 0)
        return true;
    qWarning("expected a message starting \"%s\", got \"%s\"", expected.c_str(), m.text.c_str());
    return false;
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
}

}  // namespace

class LogoPickerDialogTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    QString models_;

    QString Picture(int w, int h, QColor colour = Qt::red) {
        const QString path = dir_.filePath(QStringLiteral("p%1x%2.bmp").arg(w).arg(h));
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(colour);
        image.save(path);
        return path;
    }

    std::filesystem::path ModelsPath() const { return models_.toStdString(); }

    // 8000 x 8000, more than the decoder will hold in memory: made once.
    QString huge_;
    QString HugePicture() {
        if (huge_.isEmpty()) {
            // "%2" in the name: the message must show it as it is.
            huge_ = dir_.filePath(QStringLiteral("huge%2.png"));
            QImage image(8000, 8000, QImage::Format_RGB888);
            image.fill(Qt::red);
            if (!image.save(huge_, "PNG", 89))  // light compression: quicker
                qFatal("cannot write %s", qPrintable(huge_));
        }
        return huge_;
    }

  private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        models_ = dir_.filePath(QStringLiteral("XMLName.dat"));
        WriteModels(models_);
    }

    void controlsCarryTheirIdsAndCaptions() {
        RecordingSink sink;
        ScriptedPrompts prompts;
        LogoPickerDialog dlg(sink, prompts, ModelsPath());
        dlg.InitDialog();
        QCOMPARE(dlg.objectName(), QString::fromLatin1(logo_picker_names::kDialog));
        QCOMPARE(dlg.windowTitle(), QString::fromUtf8("选择LOGO图片"));
        QVERIFY(FindControl<LogoPreview>(&dlg, logo_picker_names::kPreview));
        QVERIFY(FindControl<QPushButton>(&dlg, logo_picker_names::kSelectPictureButton)
                    ->text()
                    .contains(QStringLiteral("Select")));
        QVERIFY(FindControl<QPushButton>(&dlg, logo_picker_names::kBackgroundButton)
                    ->text()
                    .contains(QString::fromUtf8("LOGO背景色")));
        QCOMPARE(FindControl<QPushButton>(&dlg, logo_picker_names::kOkButton)->text(),
                 QStringLiteral("OK"));
        QCOMPARE(FindControl<QPushButton>(&dlg, logo_picker_names::kCancelButton)->text(),
                 QStringLiteral("Cancel"));
        QCOMPARE(dlg.models().size(), size_t{4});
        QCOMPARE(dlg.current_model()->screen_width, 320);
    }

    // Screen check at Select, pixel count at OK.
    void sizeRules_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("320x240 on 320x240") << 0 << 320 << 240 << true << true;
        QTest::newRow("321x240 on 320x240") << 0 << 321 << 240 << false << false;
        QTest::newRow("320x241 on 320x240") << 0 << 320 << 241 << false << false;
        QTest::newRow("400x328 on 480x480") << 1 << 400 << 328 << true << false;
        QTest::newRow("512x256 on 640x480") << 2 << 512 << 256 << true << true;
    }
    void sizeRules() {
        QFETCH(int, model);
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(bool, selected);
        QFETCH(bool, accepted);
        RecordingSink sink;
        ScriptedPrompts prompts;
        LogoPickerDialog dlg(sink, prompts, ModelsPath());
        dlg.InitDialog();
        dlg.SelectModel(model);
        const QString path = Picture(w, h);
        prompts.AddFile(path);
        QTest::mouseClick(FindControl<QPushButton>(&dlg, logo_picker_names::kSelectPictureButton),
                          Qt::LeftButton);
        QCOMPARE(prompts.file_requests().at(0).filter,
                 QStringLiteral("Graphics File(*.bmp *.gif *.jpg *.jpeg *.png)"));
        if (!selected) {
            QCOMPARE(sink.Messages(),
                     (std::vector<Message>{{MessageKind::AppDefault, kLogoPictureTooLarge}}));
            QVERIFY(dlg.picture_path().isEmpty());
            QVERIFY(!dlg.pane()->shown());
            QVERIFY(dlg.pane()->picture().IsEmpty());
            return;
        }
        QCOMPARE(dlg.picture_path(), path);
        QVERIFY(dlg.pane()->shown());
        QVERIFY(sink.Messages().empty());
        QTest::mouseClick(FindControl<QPushButton>(&dlg, logo_picker_names::kOkButton),
                          Qt::LeftButton);
        if (accepted) {
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
            QVERIFY(sink.Messages().empty());
        } else {
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
            QCOMPARE(sink.Messages(),
                     (std::vector<Message>{{MessageKind::Error, kPictureTooManyPixels}}));
        }
    }

    void okWithoutPictureStaysOpen() {
        RecordingSink sink;
        ScriptedPrompts prompts;
        LogoPickerDialog dlg(sink, prompts, ModelsPath());
        dlg.show();
        QTest::mouseClick(FindControl<QPushButton>(&dlg, logo_picker_names::kOkButton),
                          Qt::LeftButton);
        QVERIFY(dlg.isVisible());
        QCOMPARE(sink.Messages(), (std::vector<Message>{{MessageKind::Error, kNoPictureChosen}}));
        // A cancelled file chooser changes nothing.
        QTest::mouseClick(FindControl<QPushButton>(&dlg, logo_picker_names::kSelectPictureButton),
                          Qt::LeftButton);
        QVERIFY(dlg.picture_path().isEmpty());
    }

    void smallerScreenLaterKeepsThePicture() {
        RecordingSink sink;
        ScriptedPrompts prompts;
        LogoPickerDialog dlg(sink, prompts, ModelsPath());
        dlg.InitDialog();
        const QString path = Picture(300, 200);
        dlg.SelectPicture(path);
        dlg.SelectModel(3);  // 160 x 120
        QCOMPARE(dlg.picture_path(), path);
        QCOMPARE(dlg.current_model()->screen_width, 160);
    }

    // A name as a file dialog gives it reaches the system in its own
    // encoding; one with no file behind it (here a lone UTF-16 surrogate,
    // which has no UTF-8 at all) is named as missing rather than throw.
    void picturesNamedInAnyScriptLoad() {
        RecordingSink sink;
        ScriptedPrompts prompts;
        LogoPickerDialog dlg(sink, prompts, ModelsPath());
        dlg.InitDialog();
        const QString named = dir_.filePath(QString::fromUtf8("启动画面.bmp"));
        QVERIFY(QFile::copy(Picture(30, 20), named));
        dlg.SelectPicture(named);
        QCOMPARE(dlg.pane()->picture().NaturalSize(), QSize(30, 20));

        const QString broken = dir_.filePath(QStringLiteral("p") + QChar(0xD800) + ".bmp");
        dlg.SelectPicture(broken);
        QCOMPARE(sink.Messages().size(), size_t{1});
        QVERIFY(Names(sink.Messages()[0], WindowTextId::PictureMissing, broken));
        QCOMPARE(dlg.picture_path(), named);
    }

    void colourFromTheChooser() {
        RecordingSink sink;
        ScriptedPrompts prompts;
        LogoPickerDialog dlg(sink, prompts, ModelsPath());
        dlg.InitDialog();
        QCOMPARE(dlg.background(), 0u);  // black the first time
        prompts.AddColour(0x00804020);
        QTest::mouseClick(FindControl<QPushButton>(&dlg, logo_picker_names::kBackgroundButton),
                          Qt::LeftButton);
        QCOMPARE(dlg.background(), 0x00804020u);
        QCOMPARE(dlg.pane()->colour(), 0x00804020u);
        // Out of range: the button shows black, the value stays as given.
        dlg.OnColourChanged(0xFF000000u);
        QCOMPARE(dlg.background(), 0xFF000000u);
        QCOMPARE(FindControl<QPushButton>(&dlg, logo_picker_names::kBackgroundButton)
                     ->accessibleDescription(),
                 QStringLiteral("#000000"));
    }

    void reopeningShowsTheRememberedPictureOnItsColour() {
        RecordingSink sink;
        ScriptedPrompts prompts;
        LogoPickerDialog dlg(sink, prompts, ModelsPath());
        dlg.SetPicturePath(Picture(20, 10, Qt::green));
        dlg.SetBackground(0x00FF0000);  // blue, as 0x00BBGGRR
        dlg.InitDialog();
        QVERIFY(dlg.pane()->shown());
        const QImage shown = ComposeLogoPane(dlg.pane()->picture(), dlg.pane()->colour(), {40, 30});
        QCOMPARE(shown.pixelColor(0, 0), QColor(Qt::blue));
        // 20 x 10 centred in 40 x 30: from (10, 10) to (29, 19).
        QCOMPARE(shown.pixelColor(10, 10), QColor(Qt::green));
        QCOMPARE(shown.pixelColor(29, 19), QColor(Qt::green));
        QCOMPARE(shown.pixelColor(30, 19), QColor(Qt::blue));
        QCOMPARE(shown.pixelColor(29, 20), QColor(Qt::blue));
    }

    void noModelListAcceptsAnySize() {
        RecordingSink sink;
        ScriptedPrompts prompts;
        LogoPickerDialog dlg(sink, prompts, std::nullopt);
        dlg.InitDialog();
        QVERIFY(dlg.current_model() == nullptr);
        dlg.SelectPicture(Picture(330, 250));
        QVERIFY(!dlg.picture_path().isEmpty());
    }

    // --- pictures checked when chosen --------------------------------------

    // Each is refused at once with its own message naming it, and the
    // picture chosen before stays chosen and shown.
    void aPictureThatCannotBeUsedIsNamedAtOnceAndNotTaken_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");  // null: no file at all
        QTest::addColumn<int>("text");
        QImage small(40, 30, QImage::Format_RGB32);
        small.fill(Qt::blue);
        QByteArray png;
        {
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            small.save(&buffer, "PNG");
        }
        QTest::newRow("text named .png") << "text.png" << QByteArray("just some words\n")
                                         << int(WindowTextId::PictureUndecodable);
        QTest::newRow("truncated PNG")
            << "truncated.png" << png.left(png.size() / 2) << int(WindowTextId::PictureUndecodable);
        QTest::newRow("empty file")
            << "empty.png" << QByteArray("") << int(WindowTextId::PictureEmpty);
        QTest::newRow("no file") << "gone.png" << QByteArray() << int(WindowTextId::PictureMissing);
    }
    void aPictureThatCannotBeUsedIsNamedAtOnceAndNotTaken() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(int, text);
        const QString path = dir_.filePath(name);
        QFile::remove(path);
        if (!bytes.isNull())
            WriteBytes(path, bytes);
        RecordingSink sink;
        ScriptedPrompts prompts;
        LogoPickerDialog dlg(sink, prompts, ModelsPath());
        dlg.InitDialog();
        const QString good = Picture(50, 40);
        dlg.SelectPicture(good);
        prompts.AddFile(path);
        QTest::mouseClick(FindControl<QPushButton>(&dlg, logo_picker_names::kSelectPictureButton),
                          Qt::LeftButton);
        QCOMPARE(sink.Messages().size(), size_t{1});
        QVERIFY(Names(sink.Messages()[0], WindowTextId(text), path));
        QCOMPARE(dlg.picture_path(), good);
        QVERIFY(dlg.pane()->shown());
        QCOMPARE(dlg.pane()->picture().NaturalSize(), QSize(50, 40));
    }

    // Too large to decode, yet measured by its header: the screen message,
    // as 1280 x 800 gets it.
    void anEnormousPictureGetsTheScreenMessage() {
        RecordingSink sink;
        ScriptedPrompts prompts;
        LogoPickerDialog dlg(sink, prompts, ModelsPath());
        dlg.InitDialog();
        dlg.SelectPicture(HugePicture());
        QCOMPARE(sink.Messages(),
                 (std::vector<Message>{{MessageKind::AppDefault, kLogoPictureTooLarge}}));
        QVERIFY(dlg.picture_path().isEmpty());
        QVERIFY(!dlg.pane()->shown());
    }

    // Without a screen to compare with, the decoder's refusal is told as
    // what it is: too large, with the size.
    void aPictureTooLargeToDecodeIsNamedWithItsSize() {
        RecordingSink sink;
        ScriptedPrompts prompts;
        LogoPickerDialog dlg(sink, prompts, std::nullopt);
        dlg.InitDialog();
        dlg.SelectPicture(HugePicture());
        QCOMPARE(sink.Messages().size(), size_t{1});
        QVERIFY(Names(sink.Messages()[0], WindowTextId::PictureTooLargeToOpen, HugePicture()));
        QVERIFY(QString::fromStdString(sink.Messages()[0].text)
                    .contains(QStringLiteral("8000 x 8000")));
        QVERIFY(dlg.picture_path().isEmpty());
    }

    // A remembered picture is checked again at OK: gone or spoilt since, it
    // is named as such and the dialog stays open.
    void aRememberedPictureThatWentBadIsNamedAtOk() {
        const QString gone = dir_.filePath(QStringLiteral("remembered-gone.bmp"));
        const QString spoilt = dir_.filePath(QStringLiteral("remembered-spoilt.bmp"));
        WriteBytes(spoilt, QByteArray("BM no longer a picture"));
        const struct {
            QString path;
            WindowTextId text;
        } cases[] = {{gone, WindowTextId::PictureMissing},
                     {spoilt, WindowTextId::PictureUndecodable}};
        for (const auto& c : cases) {
            RecordingSink sink;
            ScriptedPrompts prompts;
            LogoPickerDialog dlg(sink, prompts, ModelsPath());
            dlg.SetPicturePath(c.path);
            dlg.InitDialog();
            dlg.accept();
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
            QCOMPARE(sink.Messages().size(), size_t{1});
            QVERIFY(Names(sink.Messages()[0], c.text, c.path));
        }
    }

    // --- the type choice follows its state, however it is changed ------------

    void theTypeChoiceFollowsKeyboardAndAssistiveTechnology() {
        RecordingSink sink;
        ScriptedPrompts prompts;
        LogoPickerDialog dlg(sink, prompts, ModelsPath());
        dlg.show();
        auto* types = FindControl<QComboBox>(&dlg, logo_picker_names::kPanelTypeChoice);
        QTest::keyClick(types, Qt::Key_Down);
        QCOMPARE(dlg.current_model()->screen_width, 480);
        // As a screen reader sets a value: on the control itself.
        types->setCurrentIndex(3);
        QCOMPARE(dlg.current_model()->screen_width, 160);
        // The picture's screen check uses the type so chosen.
        dlg.SelectPicture(Picture(200, 100));
        QCOMPARE(sink.Messages(),
                 (std::vector<Message>{{MessageKind::AppDefault, kLogoPictureTooLarge}}));
        // The buttons react to an accessible press as to a click.
        prompts.AddColour(0x00112233);
        QAccessibleInterface* colour = QAccessible::queryAccessibleInterface(
            FindControl<QPushButton>(&dlg, logo_picker_names::kBackgroundButton));
        QVERIFY(colour && colour->actionInterface());
        colour->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        // An accessible press animates a click, which lands a moment later.
        QTRY_COMPARE(dlg.background(), 0x00112233u);
    }

    // --- the pane ---------------------------------------------------------

    // Before any picture the pane shows the logo's background, as the logo
    // file will have it: black the first time, the remembered colour after.
    void thePaneStartsOnTheLogoBackground() {
        RecordingSink sink;
        ScriptedPrompts prompts;
        {
            LogoPickerDialog dlg(sink, prompts, ModelsPath());
            dlg.show();
            const QImage shown = dlg.pane()->grab().toImage();
            QCOMPARE(shown.pixelColor(1, 1), QColor(Qt::black));
        }
        LogoPickerDialog dlg(sink, prompts, ModelsPath());
        dlg.SetBackground(0x00FF0000);  // blue, as 0x00BBGGRR
        dlg.show();
        const QImage shown = dlg.pane()->grab().toImage();
        QCOMPARE(shown.pixelColor(shown.width() - 2, shown.height() - 2), QColor(Qt::blue));
    }
};

QTEST_MAIN(LogoPickerDialogTest)
#include "logo_picker_dialog_test.moc"
