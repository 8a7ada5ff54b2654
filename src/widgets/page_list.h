#pragma once
// The main window's list of pages, each entry drawn like a menu item: the
// icon in a gutter on the left that runs down to the bottom of the control
// (below the last entry too), the caption beside it, bold when selected on a
// highlight. The list owns its entries; it does not own the pages.
#include <QIcon>
#include <QListWidget>
#include <QPointer>
#include <QSize>
#include <QString>
#include <memory>
#include <vector>

namespace korvane {

struct PageEntry {
    QString caption;
    QIcon icon;
    QSize icon_size;  // the size the icon is drawn at
    QPointer<QWidget> page;
};

class PageList : public QListWidget {
    Q_OBJECT

  public:
    explicit PageList(QWidget* parent = nullptr);
    ~PageList() override;

    // Appends an entry; returns its index.
    int AddPage(const QString& caption, const QIcon& icon, QSize icon_size, QWidget* page);
    int EntryCount() const { return static_cast<int>(entries_.size()); }
    const PageEntry* Entry(int index) const;

    // Largest icon width plus 10.
    int GutterWidth() const;
    // The larger of icon and caption height, plus 8.
    int EntryHeight(int index) const;
    QFont CaptionFont(bool selected) const;
    QColor GutterColor() const;

    // Previous and next with wrap-around; either keeps the only entry.
    void SelectPrevious();
    void SelectNext();
    // Hides every page but the selected one, then shows that one.
    void ShowSelectedPage();

  signals:
    // The selection moved to `index` (-1: none) standing for `page`.
    void PageSelected(int index, QWidget* page);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    std::vector<std::unique_ptr<PageEntry>> entries_;
};

}  // namespace korvane
