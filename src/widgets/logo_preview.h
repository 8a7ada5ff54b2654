#pragma once
// LogoPreview: the logo picker's picture pane. Shows the picture at its natural
// size, centred, on the chosen background colour; only the colour until a
// picture has been accepted.
#include <QImage>
#include <QWidget>
#include <cstdint>

#include "logo/picture.h"

namespace korvane {

// The pane's colours are 0x00BBGGRR; only the low three bytes are drawn.
QColor ColourFromBgr(uint32_t colour);

// What the pane shows for a client area of `size`: white, then the colour,
// then the picture (when it holds one) at its natural size, centred.
QImage ComposeLogoPane(const Picture& picture, uint32_t colour, QSize size);

class LogoPreview : public QWidget {
    Q_OBJECT
  public:
    explicit LogoPreview(QWidget* parent = nullptr);

    Picture& picture() { return picture_; }
    const Picture& picture() const { return picture_; }
    uint32_t colour() const { return colour_; }
    void SetColour(uint32_t colour) { colour_ = colour; }
    bool shown() const { return shown_; }
    void SetShown(bool shown) { shown_ = shown; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Picture picture_;
    uint32_t colour_ = 0;  // black, as a logo's default background
    bool shown_ = false;
};

}  // namespace korvane
