#pragma once
// Picture: owns at most one decoded picture (BMP, GIF, JPEG, PNG) for the
// logo picker's pane and the logo writer, so that the desktop window and the
// command-line tool decode and stretch pictures the same way.
#include <QImage>
#include <QRect>
#include <QSize>
#include <filesystem>
#include <optional>
#include <string>

#include "logo/canvas.h"

class QPainter;

namespace korvane {

class Picture {
  public:
    Picture() = default;

    // Decodes the file. On failure the holder keeps what it had, returns false
    // and, when `error` is given, says why.
    bool Load(const std::filesystem::path& path, std::string* error = nullptr);
    void Release();

    // The size the file's header states, read without decoding the pixels, so
    // that a picture too large to decode can still be measured. Nothing, with
    // `error` saying why, when the file cannot be opened or its format is
    // not one the holder reads.
    static std::optional<QSize> ReadDeclaredSize(const std::filesystem::path& path,
                                                 std::string* error = nullptr);
    bool IsEmpty() const { return image_.isNull(); }

    // Width and height in pixels; 0 × 0 when empty.
    QSize NaturalSize() const;

    // Draws the whole picture, upright, stretched into `target`. Nothing when empty.
    void Render(QPainter& painter, const QRect& target) const;

    // Fills the canvas black and stretches the whole picture into it; transparent
    // areas stay black. False when empty or the canvas is.
    bool RenderInto(Canvas& canvas) const;

    const QImage& Image() const { return image_; }

  private:
    QImage image_;
};

}  // namespace korvane
