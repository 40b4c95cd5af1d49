#pragma once

#include "platform/gdi/gdi.h"

#include <QImage>

namespace vex {

// A picture object: an image and the native bitmap handle the pattern style tiles with.
// The handle belongs to the object and is deleted with it.
class StdPicture {
  public:
    explicit StdPicture(QImage image);
    ~StdPicture();
    StdPicture(const StdPicture&) = delete;
    StdPicture& operator=(const StdPicture&) = delete;

    const QImage& Image() const { return image_; }
    gdi::HBITMAP Handle();

  private:
    QImage image_;
    gdi::HBITMAP handle_ = 0;
};

} // namespace vex
