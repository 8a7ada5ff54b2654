// The page list: entry heights, the icon gutter, the selected entry's look,
// selection signals and page navigation.
#include <QApplication>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>

#include "widgets/page_list.h"

using korvane::PageList;

namespace {

QIcon SquareIcon(int side, Qt::GlobalColor color) {
    QPixmap pixmap(side, side);
    pixmap.fill(color);
    return QIcon(pixmap);
}

// Pixels of the caption area close to the text colour: bold text has more.
int InkIn(const QImage& image, const QRect& area, const QColor& ink) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - ink.red()) + std::abs(c.green() - ink.green()) +
                    std::abs(c.blue() - ink.blue()) <
                120)
                ++count;
        }
    }
    return count;
}

}  // namespace

class PageListTest : public QObject {
    Q_OBJECT

  private slots:
    void entryHeightIsTheLargerPartPlusEight() {
        PageList list;
        list.resize(160, 300);
        const int line = QFontMetrics(list.font()).height();
        list.AddPage(QString::fromUtf8("系统处理"), SquareIcon(32, Qt::red), QSize(32, 32),
                     nullptr);
        list.AddPage(QStringLiteral("one\ntwo\nthree\nfour"), SquareIcon(16, Qt::blue),
                     QSize(16, 16), nullptr);
        list.AddPage(QString(), SquareIcon(48, Qt::green), QSize(48, 48), nullptr);
        QCOMPARE(list.EntryHeight(0), std::max(32, line) + 8);
        QVERIFY(list.EntryHeight(1) >= 4 * line + 8);
        QCOMPARE(list.EntryHeight(2), 48 + 8);
        QCOMPARE(list.EntryHeight(3), 0);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QTRY_COMPARE(list.visualItemRect(list.item(0)).height(), list.EntryHeight(0));
        QCOMPARE(list.visualItemRect(list.item(2)).height(), 56);
    }

    void gutterIsTheWidestIconPlusTen() {
        PageList list;
        QCOMPARE(list.GutterWidth(), 10);
        list.AddPage(QStringLiteral("a"), QIcon(), QSize(32, 32), nullptr);
        QCOMPARE(list.GutterWidth(), 42);
        list.AddPage(QStringLiteral("b"), QIcon(), QSize(48, 24), nullptr);
        list.AddPage(QStringLiteral("c"), QIcon(), QSize(16, 16), nullptr);
        QCOMPARE(list.GutterWidth(), 58);
    }

    void gutterRunsBelowTheLastEntry() {
        PageList list;
        list.resize(160, 240);
        list.AddPage(QString::fromUtf8("系统处理"), SquareIcon(32, Qt::red), QSize(32, 32),
                     nullptr);
        list.setCurrentRow(0);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        const QImage image = list.viewport()->grab().toImage();
        const int bottom = image.height() - 3;
        QVERIFY(bottom > list.EntryHeight(0) + 20);
        QCOMPARE(image.pixelColor(20, bottom), list.GutterColor());
        QCOMPARE(image.pixelColor(41, bottom), list.GutterColor());
        QCOMPARE(image.pixelColor(60, bottom), list.palette().color(QPalette::Base));
        // The icon sits in the gutter of its entry.
        QCOMPARE(image.pixelColor(21, list.EntryHeight(0) / 2), QColor(Qt::red));
    }

    void selectedEntryIsHighlightedAndBold() {
        PageList list;
        list.resize(200, 200);
        const QString caption = QStringLiteral("Maintenance");
        list.AddPage(caption, SquareIcon(32, Qt::red), QSize(32, 32), nullptr);
        list.AddPage(caption, SquareIcon(32, Qt::red), QSize(32, 32), nullptr);
        list.setCurrentRow(0);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QVERIFY(list.CaptionFont(true).bold());
        QVERIFY(!list.CaptionFont(false).bold());

        const QImage image = list.viewport()->grab().toImage();
        const QRect first = list.visualItemRect(list.item(0));
        const QRect second = list.visualItemRect(list.item(1));
        const int left = list.GutterWidth() + 4;
        const QRect caption_first(left, first.top() + 4, 120, first.height() - 8);
        const QRect caption_second(left, second.top() + 4, 120, second.height() - 8);
        const QColor ink = list.palette().color(QPalette::Text);
        const int bold = InkIn(image, caption_first, ink);
        const int normal = InkIn(image, caption_second, ink);
        QVERIFY2(normal > 0 && bold > normal,
                 qPrintable(QStringLiteral("%1 vs %2").arg(bold).arg(normal)));
        // The highlight covers the selected entry only.
        const QColor unselected = image.pixelColor(left + 150, second.center().y());
        QCOMPARE(unselected, list.palette().color(QPalette::Base));
        QVERIFY(image.pixelColor(left + 150, first.center().y()) != unselected);
    }

    void selectionNamesThePageAndNavigationWraps() {
        PageList list;
        QWidget first, second, third;
        list.AddPage(QStringLiteral("1"), QIcon(), QSize(32, 32), &first);
        list.AddPage(QStringLiteral("2"), QIcon(), QSize(32, 32), &second);
        list.AddPage(QStringLiteral("3"), QIcon(), QSize(32, 32), &third);
        QSignalSpy spy(&list, &PageList::PageSelected);
        list.setCurrentRow(0);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.last().at(0).toInt(), 0);
        QCOMPARE(spy.last().at(1).value<QWidget*>(), &first);

        list.SelectPrevious();
        QCOMPARE(list.currentRow(), 2);
        QCOMPARE(spy.last().at(1).value<QWidget*>(), &third);
        list.SelectNext();
        QCOMPARE(list.currentRow(), 0);
        list.SelectNext();
        QCOMPARE(list.currentRow(), 1);
        list.SelectPrevious();
        QCOMPARE(list.currentRow(), 0);

        list.setCurrentRow(1);
        list.ShowSelectedPage();
        QVERIFY(first.isHidden());
        QVERIFY(!second.isHidden());
        QVERIFY(third.isHidden());
    }

    void oneEntryStaysSelected() {
        PageList list;
        QWidget page;
        list.AddPage(QString::fromUtf8("系统处理"), QIcon(), QSize(32, 32), &page);
        list.SelectPrevious();  // nothing selected yet: the last entry
        QCOMPARE(list.currentRow(), 0);
        list.SelectNext();
        QCOMPARE(list.currentRow(), 0);
        list.SelectPrevious();
        QCOMPARE(list.currentRow(), 0);
        QCOMPARE(list.Entry(0)->page.data(), &page);
        QCOMPARE(list.item(0)->data(Qt::AccessibleTextRole).toString(),
                 QString::fromUtf8("系统处理"));
    }
};

QTEST_MAIN(PageListTest)
#include "page_list_test.moc"
