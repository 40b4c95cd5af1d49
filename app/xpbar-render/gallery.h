#pragma once

#include <QImage>
#include <QString>

namespace xpbar {

// What a sheet shows besides the looks themselves. The plain sheet is the control's own
// picture; every other one is drawn by XPProgressBar widgets as an application shows them.
enum class GallerySheet {
    Plain,
    Disabled,    // every bar disabled
    RightToLeft, // every bar in a right-to-left layout
    Palette,     // the palette's Highlight changed, no colour of the bar's own
    Font,        // another font set on every bar
    Double,      // at a device pixel ratio of 2, labels included
};

// One contact sheet of the ten styles at 0, 25, 50, 75 and 100 %, without and with text, and
// of the XP styles also vertical, each labelled, in the state `sheet` names. The widget sheets
// need a QApplication.
QImage RenderGallery(GallerySheet sheet = GallerySheet::Plain);

// Writes the sheets as DIR/gallery.png, gallery-disabled.png, gallery-rtl.png,
// gallery-palette.png, gallery-font.png and gallery-2x.png (the folder is made when missing).
// Returns an error message, empty on success; `written` receives the first file's path.
QString WriteGallery(const QString& dir, QString* written);

} // namespace xpbar
