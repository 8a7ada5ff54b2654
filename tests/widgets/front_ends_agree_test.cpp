// One table of panel behaviours run through korvane-cli and through the
// maintenance page: both must tell the user the same texts in the same order.
#include <QAction>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <fstream>
#include <functional>
#include <regex>

#include "e2e/child_process.h"
#include "page_fixture.h"
#include "protocol/command_codes.h"
#include "temp_profile.h"
#include "widgets/control_names.h"
#include "widgets/ip_address_edit.h"

using namespace korvane;
using korvane::testing::PageRig;
using korvane::testing::RunAndWait;
namespace page_names = korvane::maintenance_page_names;

namespace {

// The "text" of each message line korvane-cli --json prints, unescaped.
std::vector<std::string> CliMessages(const std::string& out) {
    // The English hint that may follow the text is the command line's own.
    static const std::regex line(
        "\\{\"event\":\"message\",\"kind\":\"\\w+\",(?:\"id\":\"\\w+\",)?\"text\":\"((?:[^\"\\\\]|"
        "\\\\.)*)\"(?:,\"hint\":\"(?:[^\"\\\\]|\\\\.)*\")?\\}");
    std::vector<std::string> texts;
    for (auto it = std::sregex_iterator(out.begin(), out.end(), line); it != std::sregex_iterator();
         ++it) {
        const std::string escaped = (*it)[1];
        std::string text;
        for (size_t i = 0; i < escaped.size(); ++i) {
            if (escaped[i] == '\\' && i + 1 < escaped.size()) {
                const char c = escaped[++i];
                text += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
            } else {
                text += escaped[i];
            }
        }
        texts.push_back(text);
    }
    return texts;
}

struct Case {
    const char* name;
    std::function<void(sim::Panel&)> setup;
    std::vector<std::string> cli;  // "IMAGE" stands for the image file
    std::function<void(QWidget* page)> click;
    std::vector<std::string> expected;
};

void Click(QWidget* page, const char* name) {
    QTest::mouseClick(FindControl<QPushButton>(page, name), Qt::LeftButton);
}
void Command(QWidget* page, const char* name) {
    page->findChild<QAction*>(QString::fromLatin1(name))->trigger();
}

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = {
        {"get address",
         {},
         {"get-ip"},
         [](QWidget* p) { Click(p, page_names::kGetAddressButton); },
         {}},
        {"get address refused",
         [](sim::Panel& s) { s.SetStatusOverride(cmd::kGetParameter, 0); },
         {"get-ip"},
         [](QWidget* p) { Click(p, page_names::kGetAddressButton); },
         {"失败"}},
        {"silent panel",
         [](sim::Panel& s) {
             s.InjectFault({sim::FaultKind::Drop, cmd::kQueryState, 1 << 30});
         },
         {"get-ip"},
         [](QWidget* p) { Click(p, page_names::kGetAddressButton); },
         {"通讯超时"}},
        {"set address",
         {},
         {"set-ip", "10.0.0.5", "502", "--gateway", "10.0.0.1", "--mask", "255.0.0.0"},
         [](QWidget* p) {
             FindControl<IpAddressEdit>(p, page_names::kNewIpEdit)
                 ->setText(QStringLiteral("10.0.0.5"));
             FindControl<QLineEdit>(p, page_names::kNewPortEdit)->setText(QStringLiteral("502"));
             FindControl<IpAddressEdit>(p, page_names::kGatewayEdit)
                 ->setText(QStringLiteral("10.0.0.1"));
             FindControl<IpAddressEdit>(p, page_names::kMaskEdit)
                 ->setText(QStringLiteral("255.0.0.0"));
             Click(p, page_names::kSetAddressButton);
         },
         {"设置成功"}},
        {"set mask refused",
         [](sim::Panel& s) { s.SetStatusOverride(cmd::kSetParameter, 0); },
         {"set-ip", "192.168.0.100", "21845"},
         [](QWidget* p) { Click(p, page_names::kSetAddressButton); },
         {"设置失败"}},
        {"set clock",
         {},
         {"set-clock", "2021-02-03 04:05:06"},
         [](QWidget* p) {
             FindControl<QDateEdit>(p, page_names::kNewDateEdit)->setDate(QDate(2021, 2, 3));
             FindControl<QTimeEdit>(p, page_names::kNewTimeEdit)->setTime(QTime(4, 5, 6));
             Click(p, page_names::kSetClockButton);
         },
         {"设置成功"}},
        {"get clock refused",
         [](sim::Panel& s) { s.SetStatusOverride(cmd::kGetClock, 0); },
         {"get-clock"},
         [](QWidget* p) { Click(p, page_names::kGetClockButton); },
         {"失败"}},
        {"erase",
         {},
         {"erase"},
         [](QWidget* p) { Click(p, page_names::kEraseButton); },
         {"请等待擦写Flash成功！"}},
        {"enter download, update jumper",
         {},
         {"enter-download"},
         [](QWidget* p) { Command(p, page_names::kEnterDownloadAction); },
         {"请将屏跳线,置1-OFF,2-OFF"}},
        {"end download, update jumper",
         {},
         {"end-download"},
         [](QWidget* p) { Command(p, page_names::kEndDownloadAction); },
         {"请将屏跳线,置1-OFF,2-OFF"}},
        {"enter download, normal jumper",
         [](sim::Panel& s) { s.SetJumper(2); },
         {"enter-download"},
         [](QWidget* p) { Command(p, page_names::kEnterDownloadAction); },
         {"成功"}},
        {"end download, normal jumper",
         [](sim::Panel& s) { s.SetJumper(2); },
         {"end-download"},
         [](QWidget* p) { Command(p, page_names::kEndDownloadAction); },
         {"成功"}},
        {"kernel",
         {},
         {"flash", "kernel", "IMAGE"},
         [](QWidget* p) { Click(p, page_names::kKernelButton); },
         {"下载完成，请等待烧写成功！", "更新完毕!"}},
        {"kernel, normal jumper",
         [](sim::Panel& s) { s.SetJumper(2); },
         {"flash", "kernel", "IMAGE"},
         [](QWidget* p) { Click(p, page_names::kKernelButton); },
         {"请拨跳线1到指定位置\n进行系统更新\n"}},
        {"boot loader, two checksum failures",
         [](sim::Panel& s) { s.FailNextFinals(2); },
         {"flash", "bootloader", "IMAGE"},
         [](QWidget* p) { Click(p, page_names::kBootLoaderButton); },
         {"更新完毕!"}},
        {"boot loader, six checksum failures",
         [](sim::Panel& s) { s.FailNextFinals(6); },
         {"flash", "bootloader", "IMAGE"},
         [](QWidget* p) { Click(p, page_names::kBootLoaderButton); },
         {"包校验错误,烧写失败", "更新有错误!"}},
        {"file system, download mode refused",
         [](sim::Panel& s) { s.SetStatusOverride(cmd::kEnterDownload, 240); },
         {"flash", "filesystem", "IMAGE"},
         [](QWidget* p) { Command(p, page_names::kFileSystemAction); },
         {"失败, 未能进入下载状态"}},
        {"file system, range refused",
         [](sim::Panel& s) { s.SetStatusOverride(cmd::kFlashPrepare, 0); },
         {"flash", "filesystem", "IMAGE"},
         [](QWidget* p) { Command(p, page_names::kFileSystemAction); },
         {"校验失败", "更新有错误!"}},
    };
    return cases;
}

}  // namespace

class FrontEndsAgreeTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> temp_;
    std::unique_ptr<korvane::testing::TempProfile> profile_;

  private slots:
    void init() {
        temp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(temp_->isValid());
        profile_ = std::make_unique<korvane::testing::TempProfile>();
    }

    void sameMessagesForTheSamePanel_data() {
        QTest::addColumn<int>("index");
        for (size_t i = 0; i < Cases().size(); ++i)
            QTest::newRow(Cases()[i].name) << int(i);
    }
    void sameMessagesForTheSamePanel() {
        QFETCH(int, index);
        const Case& c = Cases()[size_t(index)];
        const QString image = temp_->filePath(QStringLiteral("image.dat"));
        {
            std::ofstream out(image.toStdString(), std::ios::binary);
            for (int i = 0; i < 6000; ++i)
                out.put(static_cast<char>(i * 13));
        }

        // korvane-cli against one simulated panel...
        PageRig cli_rig(temp_->path());
        if (c.setup)
            c.setup(cli_rig.panel);
        std::vector<std::string> args = {
            "--settings", (temp_->filePath(QStringLiteral("cli-Para.dat"))).toStdString(), "--udp",
            "127.0.0.1:" + std::to_string(cli_rig.server.port()), "--json"};
        for (const std::string& a : c.cli)
            args.push_back(a == "IMAGE" ? image.toStdString() : a);
        const auto cli = korvane::testing::RunProgram(KORVANE_CLI, args);
        const std::vector<std::string> cli_texts = CliMessages(cli.out);

        // ...and the window against another in the same state.
        PageRig rig(temp_->path());
        if (c.setup)
            c.setup(rig.panel);
        rig.prompts.AddFile(image);
        QVERIFY(RunAndWait(*rig.page, [&] { c.click(rig.page.get()); }));
        const std::vector<std::string> page_texts = rig.sink.Texts();

        QStringList shown;
        for (const std::string& t : page_texts)
            shown << QString::fromStdString(t);
        qInfo().noquote() << "messages:" << shown.join(QStringLiteral(" | "));
        QCOMPARE(page_texts, cli_texts);
        QCOMPARE(page_texts, c.expected);
    }
};

QTEST_MAIN(FrontEndsAgreeTest)
#include "front_ends_agree_test.moc"
