#pragma once
// A progress bar that carries a line of text: the operation's message followed
// by the percentage, centred on the bar. The filled part and the rest are
// painted in two colours and the text in the opposite ones, so that it stays
// readable over both.
//
// MoveTo, Step, MoveBy, SetStep, SetSpan, SetText and ShowText may be called
// from a worker thread: they store the values and post one refresh to the
// user-interface thread, which alone paints. A refresh that would paint the
// same filled width and the same text does not repaint.
#include <QColor>
#include <QString>
#include <QWidget>
#include <atomic>
#include <mutex>

namespace korvane {

class PercentBar : public QWidget {
    Q_OBJECT

  public:
    explicit PercentBar(QWidget* parent = nullptr);

    // Any thread. Each returns the previous position.
    int MoveTo(int position);
    int Step();
    int MoveBy(int offset);
    // Any thread.
    void SetStep(int step) { step_.store(step); }
    void SetSpan(int lower, int upper);  // no repaint by itself
    void SetText(const QString& text);
    void ShowText(bool show);

    int Position() const { return position_.load(); }
    int Lower() const { return lower_.load(); }
    int Upper() const { return upper_.load(); }
    QString Text() const;

    // The line the bar shows now ("" when the span is empty or text is off);
    // also the bar's accessible description.
    QString CurrentText() const;
    // User-interface thread: what the last paint drew, and how many paints ran.
    QString DrawnText() const { return drawn_text_; }
    int PaintCount() const { return paint_count_; }

    // "%s%d%%" for a text and a non-zero percent, the text alone at 0 percent,
    // "%d%%" without a text, nothing without both.
    static QString BarText(const QString& text, int percent);

    QColor BarColor() const { return bar_color_; }
    QColor BackgroundColor() const { return background_color_; }
    QColor TextOnBarColor() const { return text_on_bar_color_; }
    QColor TextOnBackgroundColor() const { return text_on_background_color_; }
    void SetBarColor(const QColor& color);
    void SetBackgroundColor(const QColor& color);
    void SetTextOnBarColor(const QColor& color);
    void SetTextOnBackgroundColor(const QColor& color);

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    struct Shape {
        bool drawable = false;  // lower < upper
        int filled = 0;         // pixels
        int percent = 0;        // 0..100
    };
    Shape ShapeFor(int position, int width) const;
    void Moved(int position);
    void RequestRefresh();
    void Refresh();

    std::atomic<int> position_{0};
    std::atomic<int> step_{1};
    std::atomic<int> lower_{0};
    std::atomic<int> upper_{100};
    std::atomic<bool> show_text_{true};
    std::atomic<int> width_{0};  // client width, for workers
    // Filled width and percent of the last refresh asked for; -1 after a
    // resize, so that the next move refreshes.
    std::atomic<int> requested_filled_{-1};
    std::atomic<int> requested_percent_{-1};
    std::atomic<bool> refresh_posted_{false};
    mutable std::mutex text_mutex_;
    QString text_;  // guarded by text_mutex_

    // User-interface thread only.
    bool painted_ = false;
    bool painted_drawable_ = false;
    int painted_filled_ = -1;
    QString drawn_text_;
    int paint_count_ = 0;
    QColor bar_color_;
    QColor background_color_;
    QColor text_on_bar_color_;
    QColor text_on_background_color_;
};

}  // namespace korvane
