#pragma once

#include <QImage>
#include <QString>

namespace xpbar {

// One contact sheet of the ten styles at 0, 25, 50, 75 and 100 %, without and with text, and
// of the XP styles also vertical, each labelled; with `disabled`, every bar as a disabled
// widget shows it.
QImage RenderGallery(bool disabled = false);

// Writes the sheet as DIR/gallery.png and the disabled one as DIR/gallery-disabled.png (the
// folder is made when missing). Returns an error message, empty on success; `written` receives
// the first file's path.
QString WriteGallery(const QString& dir, QString* written);

} // namespace xpbar
