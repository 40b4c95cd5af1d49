#pragma once

#include <QImage>
#include <QString>

namespace xpbar {

// One contact sheet of the ten styles at 0, 25, 50, 75 and 100 %, without and with text, and
// of the XP styles also vertical, each labelled.
QImage RenderGallery();

// Writes the sheet as DIR/gallery.png (the folder is made when missing). Returns an error
// message, empty on success; `written` receives the file's path.
QString WriteGallery(const QString& dir, QString* written);

} // namespace xpbar
