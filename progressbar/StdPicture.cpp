// Picture objects: an image and the bitmap handle the pattern style tiles with.
#include "progressbar/StdPicture.h"

namespace vex {

StdPicture::StdPicture(QImage image) : image_(std::move(image)) {}

StdPicture::~StdPicture() {
    if (handle_ != 0) gdi::DeleteObject(handle_);
}

// Made once, on first use; an image that cannot become a bitmap gives 0 and is retried.
gdi::HBITMAP StdPicture::Handle() {
    if (handle_ == 0 && !image_.isNull()) handle_ = gdi::CreateBitmapFromImage(image_);
    return handle_;
}

} // namespace vex
