// The logo picker's size rules, colour and remembered picture, and the pane
// it paints.
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

    void unreadablePictureShowsOnlyTheBackground() {
        RecordingSink sink;
        ScriptedPrompts prompts;
        LogoPickerDialog dlg(sink, prompts, ModelsPath());
        dlg.InitDialog();
        const QString path = dir_.filePath(QStringLiteral("not-a-picture.bmp"));
        std::ofstream(path.toStdString()) << "no picture here";
        dlg.SelectPicture(path);
        QCOMPARE(dlg.picture_path(), path);
        QVERIFY(dlg.pane()->picture().IsEmpty());
        QVERIFY(sink.Messages().empty());
    }

    // A name as a file dialog gives it reaches the system in its own
    // encoding; one with no file behind it (here a lone UTF-16 surrogate,
    // which has no UTF-8 at all) leaves the pane empty rather than throw.
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
        QVERIFY(dlg.pane()->picture().IsEmpty());
        QVERIFY(sink.Messages().empty());
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
};

QTEST_MAIN(LogoPickerDialogTest)
#include "logo_picker_dialog_test.moc"
