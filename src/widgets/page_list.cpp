#include "widgets/page_list.h"

#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

namespace korvane {

namespace {

constexpr int kGutterExtra = 10;
constexpr int kEntryExtra = 8;
constexpr int kCaptionGap = 4;

// Draws one entry as a menu item from its PageEntry; the list item itself
// carries no text.
class PageEntryDelegate : public QStyledItemDelegate {
  public:
    explicit PageEntryDelegate(PageList* list) : QStyledItemDelegate(list), list_(list) {}

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const override {
        return QSize(list_->viewport()->width(), list_->EntryHeight(index.row()));
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const PageEntry* entry = list_->Entry(index.row());
        if (entry == nullptr)
            return;
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette& colors = list_->palette();
        const int gutter = list_->GutterWidth();
        const QRect rect = option.rect;
        painter->save();
        painter->fillRect(rect, colors.color(QPalette::Base));
        painter->fillRect(QRect(rect.left(), rect.top(), gutter, rect.height()),
                          list_->GutterColor());
        if (selected) {
            // A menu item's highlight: a light fill with a darker frame over
            // the whole entry, gutter included.
            QColor fill = colors.color(QPalette::Highlight);
            fill.setAlpha(70);
            const QRect frame = rect.adjusted(1, 1, -2, -2);
            painter->fillRect(frame, fill);
            painter->setPen(colors.color(QPalette::Highlight));
            painter->drawRect(frame);
        }
        const QSize icon = entry->icon_size;
        const QRect icon_rect(rect.left() + (gutter - icon.width()) / 2,
                              rect.top() + (rect.height() - icon.height()) / 2, icon.width(),
                              icon.height());
        entry->icon.paint(painter, icon_rect);

        const QFont font = list_->CaptionFont(selected);
        const int line = QFontMetrics(font).height();
        const QRect caption(rect.left() + gutter + kCaptionGap,
                            rect.top() + (rect.height() - line) / 2,
                            rect.width() - gutter - kCaptionGap, rect.height());
        painter->setFont(font);
        painter->setPen(colors.color(QPalette::Text));
        painter->drawText(caption, Qt::AlignLeft | Qt::AlignTop, entry->caption);
        painter->restore();
    }

  private:
    PageList* list_;
};

}  // namespace

PageList::PageList(QWidget* parent) : QListWidget(parent) {
    setItemDelegate(new PageEntryDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Entry sizes follow the width, so the layout is redone on resizing.
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(false);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(tr("页面列表"));
    connect(this, &QListWidget::currentRowChanged, this, [this](int row) {
        const PageEntry* entry = Entry(row);
        emit PageSelected(row, entry ? entry->page.data() : nullptr);
    });
}

PageList::~PageList() {
    // Empty the control first: painting must never reach a freed entry.
    clear();
}

int PageList::AddPage(const QString& caption, const QIcon& icon, QSize icon_size, QWidget* page) {
    entries_.push_back(std::make_unique<PageEntry>(PageEntry{caption, icon, icon_size, page}));
    auto* item = new QListWidgetItem(QString());
    // The drawn caption is not the item's text; screen readers get it here.
    item->setData(Qt::AccessibleTextRole, caption);
    item->setToolTip(caption);
    addItem(item);
    return count() - 1;
}

const PageEntry* PageList::Entry(int index) const {
    if (index < 0 || index >= EntryCount())
        return nullptr;
    return entries_[static_cast<size_t>(index)].get();
}

int PageList::GutterWidth() const {
    int widest = 0;
    for (const auto& entry : entries_)
        widest = std::max(widest, entry->icon_size.width());
    return widest + kGutterExtra;
}

int PageList::EntryHeight(int index) const {
    const PageEntry* entry = Entry(index);
    if (entry == nullptr)
        return 0;
    // Line breaks in the caption add lines; long lines do not wrap.
    const QRect caption =
        QFontMetrics(CaptionFont(false))
            .boundingRect(QRect(0, 0, viewport()->width(), 100000), 0, entry->caption);
    return std::max(entry->icon_size.height(), caption.height()) + kEntryExtra;
}

QFont PageList::CaptionFont(bool selected) const {
    QFont chosen = font();
    chosen.setBold(selected);
    return chosen;
}

QColor PageList::GutterColor() const {
    return palette().color(QPalette::Button);
}

void PageList::SelectPrevious() {
    if (count() == 0)
        return;
    const int row = currentRow();
    setCurrentRow(row <= 0 ? count() - 1 : row - 1);
}

void PageList::SelectNext() {
    if (count() == 0)
        return;
    const int row = currentRow();
    setCurrentRow(row >= 0 && row < count() - 1 ? row + 1 : 0);
}

void PageList::ShowSelectedPage() {
    const PageEntry* selected = Entry(currentRow());
    for (const auto& entry : entries_) {
        if (entry->page && entry.get() != selected)
            entry->page->hide();
    }
    if (selected && selected->page)
        selected->page->show();
}

void PageList::paintEvent(QPaintEvent* event) {
    {
        // The gutter runs the whole height, also below the last entry; the
        // entries paint over it.
        QPainter painter(viewport());
        painter.fillRect(viewport()->rect(), palette().color(QPalette::Base));
        painter.fillRect(QRect(0, 0, GutterWidth(), viewport()->height()), GutterColor());
    }
    QListWidget::paintEvent(event);
}

void PageList::focusInEvent(QFocusEvent* event) {
    QListWidget::focusInEvent(event);
    viewport()->update();
}

void PageList::focusOutEvent(QFocusEvent* event) {
    QListWidget::focusOutEvent(event);
    viewport()->update();
}

}  // namespace korvane
