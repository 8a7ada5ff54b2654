// The program as a whole, started as a child process on the offscreen
// platform: without its resource bundle, as a second copy from the same
// parent, and over a settings file that cannot serve. Also the one-copy rule
// on a made-up process list, and the settings the window starts with.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

#include "app/single_instance.h"
#include "app/startup.h"
#include "widgets/panel_controller.h"
#include "widgets/user_prompts.h"
#include "widgets/window_texts.h"

using namespace korvane;

class StartupTest : public QObject {
    Q_OBJECT

  private slots:
    void laterCopyRule_data() {
        QTest::addColumn<int>("otherPid");
        QTest::addColumn<int>("otherParent");
        QTest::addColumn<QString>("otherName");
        QTest::addColumn<quint64>("otherStart");
        QTest::addColumn<bool>("otherAlive");
        QTest::addColumn<bool>("ends");
        // This copy: pid 200, parent 10, started at tick 500.
        QTest::newRow("earlier copy, same parent")
            << 150 << 10 << "korvane" << quint64(400) << true << true;
        QTest::newRow("earlier copy, other parent")
            << 150 << 11 << "korvane" << quint64(400) << true << false;
        QTest::newRow("later copy, same parent")
            << 250 << 10 << "korvane" << quint64(600) << true << false;
        QTest::newRow("same tick, lower pid")
            << 150 << 10 << "korvane" << quint64(500) << true << true;
        QTest::newRow("same tick, higher pid")
            << 250 << 10 << "korvane" << quint64(500) << true << false;
        QTest::newRow("name differs in case")
            << 150 << 10 << "Korvane" << quint64(400) << true << false;
        QTest::newRow("ended, not reaped")
            << 150 << 10 << "korvane" << quint64(400) << false << false;
    }
    void laterCopyRule() {
        QFETCH(int, otherPid);
        QFETCH(int, otherParent);
        QFETCH(QString, otherName);
        QFETCH(quint64, otherStart);
        QFETCH(bool, otherAlive);
        QFETCH(bool, ends);
        const ProcessInfo self{200, 10, "korvane", 500, true};
        const ProcessInfo other{otherPid, otherParent, otherName.toStdString(), otherStart,
                                otherAlive};
        // Two earlier copies of another parent (the walk that stops at any
        // second match would end this copy) never count.
        const ProcessInfo stranger1{20, 99, "korvane", 1, true};
        const ProcessInfo stranger2{21, 99, "korvane", 2, true};
        const auto decision = DecideInstance({stranger1, stranger2, other, self}, self, "korvane");
        QCOMPARE(decision == InstanceCheck::AnotherCopy, ends);
    }

    void thisProcessIsInTheList() {
        const auto self = ThisProcess();
        QVERIFY(self);
        const auto list = ListProcesses();
        QVERIFY(list);
        QVERIFY(std::any_of(list->begin(), list->end(), [&](const ProcessInfo& p) {
            return p.pid == self->pid && p.parent == self->parent && p.name == self->name;
        }));
    }

    void missingResourceBundleEndsWithNoResource() {
        QTemporaryDir dir;
        QVERIFY(CopyProgram(dir.path(), false));
        QProcess p;
        Start(p, dir.path());
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QVERIFY(p.exitCode() != 0);
        QVERIFY2(p.readAllStandardError().contains("No resource!"), "the message was not shown");
        QVERIFY(
            !QFile::exists(dir.filePath(QStringLiteral("Para.dat"))));  // ended before the settings
    }

    void aSecondCopyFromTheSameParentEndsAtOnce() {
        QTemporaryDir dir;
        QVERIFY(CopyProgram(dir.path(), true));
        QProcess first;
        Start(first, dir.path());
        // The first copy is past its check once it has written its settings.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath(QStringLiteral("Para.dat"))), 30000);
        QProcess second;
        Start(second, dir.path());
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), kAlreadyRunningStatus);
        // Qt may say things of its own on stderr; ours is one line.
        const QByteArray err = second.readAllStandardError();
        QList<QByteArray> ours;
        for (const QByteArray& line : err.split('\n'))
            if (line.startsWith("korvane: "))
                ours.append(line);
        QVERIFY2(ours.size() == 1 && ours[0].contains("already running"), err.constData());
        QCOMPARE(first.state(), QProcess::Running);  // the first keeps its window
        // A missing settings file is written without a word.
        QVERIFY2(!first.readAllStandardError().contains("Para.dat"), "the new file was named");
        first.kill();
        first.waitForFinished(10000);
    }

    void aCopyFromAnotherParentRuns() {
        QTemporaryDir dir;
        QVERIFY(CopyProgram(dir.path(), true));
        QProcess first;
        Start(first, dir.path());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath(QStringLiteral("Para.dat"))), 30000);
        // A shell in between gives the second copy another parent; it
        // prints the copy's process id so that the test can end it.
        QProcess shell;
        shell.setProcessEnvironment(Environment());
        shell.start(
            QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"), QStringLiteral("\"$0\" & echo $!; wait $!; echo status $?"),
             dir.filePath(QStringLiteral("korvane"))});
        QVERIFY(shell.waitForStarted());
        QTRY_VERIFY(shell.canReadLine());
        const qint64 copy = shell.readLine().trimmed().toLongLong();
        QVERIFY(copy > 0);
        const bool ended_early = shell.waitForFinished(3000);
        ::kill(static_cast<pid_t>(copy), SIGKILL);
        QVERIFY(shell.waitForFinished(10000));
        first.kill();
        first.waitForFinished(10000);
        QVERIFY2(!ended_early, shell.readAll().constData());
    }

    void aBadSettingsFileIsNamedOnceAndLeftAlone_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("problem");
        QTest::newRow("5 bytes") << QByteArray("\x01\x00\x00\x00\x7f", 5)
                                 << "is 5 bytes long, not 24";
        QByteArray mode9(24, '\0');
        mode9[0] = 9;
        QTest::newRow("link mode 9") << mode9 << "names no link (link mode 9";
        QTest::newRow("empty") << QByteArray() << "is empty";
    }
    void aBadSettingsFileIsNamedOnceAndLeftAlone() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, problem);
        QTemporaryDir dir;
        QVERIFY(CopyProgram(dir.path(), true));
        const QString para = dir.filePath(QStringLiteral("Para.dat"));
        WriteFile(para, bytes);
        QProcess p;
        Start(p, dir.path());
        // Without a screen the box goes to stderr.
        QByteArray err;
        QTRY_VERIFY_WITH_TIMEOUT((err += p.readAllStandardError()).contains("默认"), 20000);
        QTest::qWait(300);
        err += p.readAllStandardError();
        const bool running = p.state() == QProcess::Running;
        p.kill();
        p.waitForFinished(10000);
        QVERIFY(running);
        const QString text = QString::fromUtf8(err);
        QCOMPARE(text.count(QStringLiteral("Para.dat")), 1);
        QVERIFY2(text.contains(para) && text.contains(problem), err.constData());
        QCOMPARE(ReadFile(para), bytes);  // left for the user to look at
    }

    // The window starts on the defaults; the file is replaced only by a save.
    void aBadSettingsFileGivesTheDefaults() {
        QTemporaryDir dir;
        const QString para = dir.filePath(QStringLiteral("Para.dat"));
        QByteArray mode9(24, '\0');
        mode9[0] = 9;
        WriteFile(para, mode9);
        RecordingSink sink;
        PanelController controller(sink, SettingsFile(para.toStdString()));
        const std::string why = controller.LoadSettings();
        QVERIFY(controller.settings() == CommSettings::Defaults());
        QVERIFY(controller.LinkDisplay() == DescribeLink(CommSettings::Defaults()));
        QCOMPARE(ReadFile(para), mode9);

        ScriptedPrompts prompts;
        TellUnusableSettings(prompts, why);
        QCOMPARE(prompts.shown().size(), size_t(1));
        QCOMPARE(prompts.shown()[0].kind, MessageKind::Warning);
        QVERIFY2(prompts.shown()[0].text.contains(para), qPrintable(prompts.shown()[0].text));
        QVERIFY(prompts.shown()[0].text.startsWith(
            WindowText(WindowTextId::SettingsUnusable).section(QStringLiteral("%1"), 0, 0)));

        QVERIFY(controller.SaveSettings(controller.settings()));
        const auto defaults = CommSettings::Defaults().Encode();
        QCOMPARE(ReadFile(para), QByteArray(reinterpret_cast<const char*>(defaults.data()),
                                            static_cast<qsizetype>(defaults.size())));
    }

    void aGoodOrMissingFileIsNotNamed() {
        QTemporaryDir dir;
        RecordingSink sink;
        PanelController controller(
            sink, SettingsFile(dir.filePath(QStringLiteral("Para.dat")).toStdString()));
        QCOMPARE(controller.LoadSettings(), std::string());
        ScriptedPrompts prompts;
        TellUnusableSettings(prompts, controller.LoadSettings());
        QVERIFY(prompts.shown().empty());
    }

  private:
    static void WriteFile(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(bytes), bytes.size());
    }
    static QByteArray ReadFile(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(cannot read)");
    }
    static QProcessEnvironment Environment() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), QDir::tempPath());
        return env;
    }
    static void Start(QProcess& p, const QString& folder) {
        p.setProcessEnvironment(Environment());
        p.start(QDir(folder).filePath(QStringLiteral("korvane")), {});
        QVERIFY(p.waitForStarted(10000));
    }
    // A copy of the built program in `folder`, with its bundle or without.
    static bool CopyProgram(const QString& folder, bool with_bundle) {
        const QDir bin(QCoreApplication::applicationDirPath());
        const QDir to(folder);
        if (!QFile::copy(bin.filePath(QStringLiteral("korvane")),
                         to.filePath(QStringLiteral("korvane"))))
            return false;
        if (!with_bundle)
            return true;
        return to.mkdir(QStringLiteral("resource")) &&
               QFile::copy(bin.filePath(QStringLiteral("resource/korvane-zh_CN.rcc")),
                           to.filePath(QStringLiteral("resource/korvane-zh_CN.rcc")));
    }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
