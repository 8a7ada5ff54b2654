// Every window text exists in both languages, with the same placeholders.
#include "widgets/window_texts.h"

#include <QTest>
#include <set>
#include <string>

namespace korvane {
namespace {

std::multiset<std::string> Placeholders(const char* text) {
    std::multiset<std::string> found;
    for (const char* c = text; *c; ++c)
        if (c[0] == '%' && c[1] >= '1' && c[1] <= '9')
            found.insert(std::string(c, 2));
    return found;
}

}  // namespace

class WindowTextsTest : public QObject {
    Q_OBJECT
  private slots:
    void everyTextHasBothLanguagesWithTheSamePlaceholders() {
        std::set<std::string> names, chinese, english;
        for (const auto& e : kWindowTexts) {
            QVERIFY(e.name && e.chinese && e.english);
            QVERIFY2(names.insert(e.name).second, e.name);
            QVERIFY2(*e.chinese && *e.english, e.name);
            QVERIFY2(chinese.insert(e.chinese).second, e.name);
            QVERIFY2(english.insert(e.english).second, e.name);
            // The English column is English: nothing outside ASCII.
            for (const char* c = e.english; *c; ++c)
                QVERIFY2(static_cast<unsigned char>(*c) < 0x80, e.name);
            QVERIFY2(Placeholders(e.chinese) == Placeholders(e.english), e.name);
        }
    }
    void theWindowShowsTheChineseColumn() {
        for (const auto& e : kWindowTexts)
            QCOMPARE(WindowText(e.id), QString::fromUtf8(e.chinese));
    }
};

}  // namespace korvane

QTEST_GUILESS_MAIN(korvane::WindowTextsTest)
#include "window_texts_test.moc"
