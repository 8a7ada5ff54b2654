// The window in both languages: every text of the translation file is
// translated and built into the program, the language follows the profile
// and the locale, and Qt's own dialogs speak the window's language.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QXmlStreamReader>
#include <map>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "widgets/control_names.h"
#include "widgets/desktop_message_sink.h"
#include "widgets/main_window.h"
#include "widgets/window_language.h"
#include "widgets/window_rig.h"
#include "widgets/window_texts.h"

namespace korvane {
namespace {

struct TsMessage {
    QString context, source, comment, translation, type;
    // A text counted with %n: its English singular and plural (translation
    // is then the plural).
    std::vector<QString> forms;
};

std::vector<TsMessage> ReadTranslationFile() {
    std::vector<TsMessage> out;
    QFile file(QStringLiteral(KORVANE_WINDOW_TS));
    if (!file.open(QIODevice::ReadOnly))
        return out;
    QXmlStreamReader xml(&file);
    QString context;
    TsMessage m;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            m = TsMessage{context, {}, {}, {}, {}, {}};
        } else if (xml.name() == QLatin1String("source")) {
            m.source = xml.readElementText();
        } else if (xml.name() == QLatin1String("comment")) {
            // Tells apart one source text used for two things.
            m.comment = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            m.type = xml.attributes().value(QLatin1String("type")).toString();
            // A numerus translation holds its forms as child elements.
            while (xml.readNext() != QXmlStreamReader::EndElement ||
                   xml.name() != QLatin1String("translation")) {
                if (xml.atEnd())
                    return {};
                if (xml.isCharacters() && m.forms.empty())
                    m.translation += xml.text();
                if (xml.isStartElement() && xml.name() == QLatin1String("numerusform")) {
                    m.forms.push_back(xml.readElementText());
                    m.translation = m.forms.back();
                }
            }
            out.push_back(m);
        }
    }
    return xml.hasError() ? std::vector<TsMessage>{} : out;
}

std::multiset<QString> Placeholders(const QString& text) {
    std::multiset<QString> found;
    static const QRegularExpression re(QStringLiteral("%[1-9]"));
    for (auto it = re.globalMatch(text); it.hasNext();)
        found.insert(it.next().captured());
    return found;
}

bool HasMnemonic(QString text) {
    return text.remove(QStringLiteral("&&")).contains(QLatin1Char('&'));
}

bool HasChinese(const QString& text) {
    for (QChar c : text)
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    return false;
}

class EnvGuard {
  public:
    // Clears the locale variables and sets `name` (if any) to `value`.
    explicit EnvGuard(const char* name = nullptr, const char* value = nullptr) {
        for (const char* n : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
            saved_[n] = qgetenv(n);
            had_[n] = qEnvironmentVariableIsSet(n);
            qunsetenv(n);
        }
        if (name)
            qputenv(name, value);
    }
    ~EnvGuard() {
        for (const auto& [name, value] : saved_) {
            if (had_[name])
                qputenv(name.constData(), value);
            else
                qunsetenv(name.constData());
        }
    }

  private:
    std::map<QByteArray, QByteArray> saved_;
    std::map<QByteArray, bool> had_;
};

}  // namespace

class WindowLanguageTest : public QObject {
    Q_OBJECT
  private slots:
    void everyTextIsTranslatedWithItsPlaceholdersAndMnemonic() {
        const std::vector<TsMessage> messages = ReadTranslationFile();
        QVERIFY2(messages.size() > 90, "the translation file could not be read");
        std::set<std::tuple<QString, QString, QString>> seen;
        for (const TsMessage& m : messages) {
            const QByteArray where = (m.context + QLatin1Char('/') + m.source).toUtf8();
            QVERIFY2(seen.insert({m.context, m.source, m.comment}).second, where.constData());
            QVERIFY2(m.type.isEmpty(), where.constData());  // not unfinished, not vanished
            const bool counted = m.source.contains(QStringLiteral("%n"));
            // English needs a singular and a plural for a counted text.
            QVERIFY2(counted ? m.forms.size() == 2 : m.forms.empty(), where.constData());
            std::vector<QString> texts = m.forms;
            if (texts.empty())
                texts.push_back(m.translation);
            for (const QString& text : texts) {
                QVERIFY2(!text.trimmed().isEmpty(), where.constData());
                QVERIFY2(!HasChinese(text), where.constData());
                QVERIFY2(Placeholders(m.source) == Placeholders(text), where.constData());
                QVERIFY2(counted == text.contains(QStringLiteral("%n")), where.constData());
                QVERIFY2(HasMnemonic(m.source) == HasMnemonic(text), where.constData());
            }
        }
    }

    void theBuiltInEnglishAnswersForEveryText() {
        const std::vector<TsMessage> messages = ReadTranslationFile();
        QVERIFY(!messages.empty());
        QCOMPARE(WindowLanguage(), UiLanguage::Chinese);
        {
            WindowTranslation english(UiLanguage::English);
            QVERIFY(english.complete());
            QCOMPARE(WindowLanguage(), UiLanguage::English);
            for (const TsMessage& m : messages) {
                const QByteArray context = m.context.toUtf8(), source = m.source.toUtf8(),
                                 comment = m.comment.toUtf8();
                const char* disambiguation = m.comment.isEmpty() ? nullptr : comment.constData();
                if (m.forms.empty()) {
                    QCOMPARE(QCoreApplication::translate(context, source, disambiguation),
                             m.translation);
                    continue;
                }
                for (int n : {1, 2}) {
                    QString expected = m.forms[static_cast<size_t>(n - 1)];
                    expected.replace(QStringLiteral("%n"), QString::number(n));
                    QCOMPARE(QCoreApplication::translate(context, source, disambiguation, n),
                             expected);
                }
            }
            for (const auto& e : kWindowTexts)
                QVERIFY2(!HasChinese(WindowText(e.id)), e.name);
        }
        // Gone with the translation: the stored texts again, byte for byte.
        QCOMPARE(WindowLanguage(), UiLanguage::Chinese);
        for (const auto& e : kWindowTexts)
            QCOMPARE(WindowText(e.id), QString::fromUtf8(e.text));
    }

    void theLocaleChoosesUnlessTheUserHas() {
        testing::TempProfile profile;
        QVERIFY(profile.IsValid());
        {
            EnvGuard env("LANG", "en_US.UTF-8");
            QCOMPARE(ChooseWindowLanguage(ProcessEnv), UiLanguage::English);
        }
        {
            EnvGuard env("LANG", "zh_CN.UTF-8");
            QCOMPARE(ChooseWindowLanguage(ProcessEnv), UiLanguage::Chinese);
        }
        {
            EnvGuard env;
            QCOMPARE(ChooseWindowLanguage(ProcessEnv), UiLanguage::Chinese);
        }
        // The window's choice outlasts the locale.
        QVERIFY(SaveWindowLanguage(UiLanguage::Chinese));
        {
            EnvGuard env("LANG", "en_US.UTF-8");
            QCOMPARE(ChooseWindowLanguage(ProcessEnv), UiLanguage::Chinese);
        }
        QVERIFY(SaveWindowLanguage(UiLanguage::English));
        {
            EnvGuard env("LC_ALL", "zh_CN.UTF-8");
            QCOMPARE(ChooseWindowLanguage(ProcessEnv), UiLanguage::English);
        }
    }

    void qtsOwnDialogsSpeakTheWindowsLanguage() {
        const auto texts = [] {
            QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("q"),
                            QMessageBox::Yes | QMessageBox::No);
            QFileDialog files;
            files.setOption(QFileDialog::DontUseNativeDialog);
            auto* buttons = files.findChild<QDialogButtonBox*>();
            return QStringList{
                box.button(QMessageBox::Yes)->text(), box.button(QMessageBox::No)->text(),
                buttons ? buttons->button(QDialogButtonBox::Cancel)->text() : QString()};
        };
        {
            WindowTranslation chinese(UiLanguage::Chinese);
            QVERIFY2(chinese.complete(), "Qt's Chinese translation is missing");
            for (const QString& t : texts())
                QVERIFY2(HasChinese(t), t.toUtf8().constData());
        }
        WindowTranslation english(UiLanguage::English);
        const QStringList shown = texts();
        QCOMPARE(QString(shown.at(0)).remove(QLatin1Char('&')), QStringLiteral("Yes"));
        QCOMPARE(QString(shown.at(2)).remove(QLatin1Char('&')), QStringLiteral("Cancel"));
    }

    void theWindowAndItsMessagesInEnglish() {
        testing::WindowRig rig;
        QVERIFY(rig.IsValid());
        WindowTranslation english(UiLanguage::English);
        MainWindow window(rig.controller, rig.prompts);
        QCOMPARE(window.windowTitle(), QStringLiteral("T3 Firmware Tool (V1.0.0)"));
        auto* settings = window.findChild<QPushButton*>(main_window_names::kLinkSettingsButton);
        QVERIFY(settings);
        QCOMPARE(settings->text(), QStringLiteral("Settings"));
        auto* mode = window.findChild<QLabel*>(main_window_names::kLinkModeLabel);
        QVERIFY(mode);
        QCOMPARE(mode->text(), QStringLiteral("Network"));

        // The core's texts, whether shown by id, as a template or as stored.
        DesktopMessageSink sink(rig.prompts);
        sink.ShowText(MessageKind::Plain, TextId::UpdateDone);
        sink.ShowTemplate(MessageKind::Error, TextId::StatusUnknown,
                          {{"command", "2C"}, {"status", "9"}});
        sink.Show(MessageKind::Error, Text(TextId::Timeout));
        // A stored text with the system's reason after it.
        sink.ShowFilled(MessageKind::Error, TextId::UsbOpenFailed,
                        std::string(Text(TextId::UsbOpenFailed)) + "\n/dev/x: Permission denied");
        const QStringList shown = rig.prompts.texts();
        QCOMPARE(shown.size(), 4);
        QCOMPARE(shown.at(3), QString::fromUtf8(EnglishText(TextId::UsbOpenFailed)) +
                                  QStringLiteral("\n/dev/x: Permission denied"));
        QCOMPARE(shown.at(0), QString::fromUtf8(EnglishText(TextId::UpdateDone)));
        QCOMPARE(shown.at(1), QString::fromStdString(FillText(TextId::StatusUnknown,
                                                              {{"command", "2C"}, {"status", "9"}},
                                                              UiLanguage::English)));
        QCOMPARE(shown.at(2), QString::fromUtf8(EnglishText(TextId::Timeout)));
    }

    void choosingALanguageSavesItAndAsksForTheWindowAgain() {
        testing::WindowRig rig;
        QVERIFY(rig.IsValid());
        MainWindow window(rig.controller, rig.prompts);
        auto* choice = window.findChild<QComboBox*>(main_window_names::kLanguageChoice);
        QVERIFY(choice);
        QCOMPARE(choice->currentText(), QStringLiteral("中文"));
        QSignalSpy chosen(&window, &MainWindow::LanguageChosen);
        // Choosing the language in use does nothing.
        emit choice->activated(choice->currentIndex());
        QCOMPARE(chosen.count(), 0);
        QVERIFY(!SavedWindowLanguage());
        const int english = choice->findText(QStringLiteral("English"));
        QVERIFY(english >= 0);
        choice->setCurrentIndex(english);
        emit choice->activated(english);
        QCOMPARE(chosen.count(), 1);
        QCOMPARE(chosen.at(0).at(0).value<UiLanguage>(), UiLanguage::English);
        QCOMPARE(SavedWindowLanguage(), std::optional<UiLanguage>(UiLanguage::English));
        QVERIFY(rig.prompts.texts().isEmpty());
    }
};

}  // namespace korvane

QTEST_MAIN(korvane::WindowLanguageTest)
#include "window_language_test.moc"
