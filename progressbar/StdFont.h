#pragma once

#include "platform/gdi/gdi.h"

#include <QFont>
#include <QString>

namespace vex {

// A font object: attributes a container can store, and the native font handle the text is
// drawn with. The handle belongs to the object (made on demand, remade when an attribute
// changed, deleted with the object); the control only selects it.
class StdFont {
  public:
    StdFont() = default;
    StdFont(QString name, double size, int weight = 400);
    ~StdFont();
    StdFont(const StdFont&) = delete;
    StdFont& operator=(const StdFont&) = delete;

    QString Name = QStringLiteral("MS Sans Serif");
    double Size = 8.25; // points
    int Weight = 400;
    bool Italic = false;
    bool Underline = false;
    bool Strikethrough = false;
    int Charset = 0;

    QFont ToQFont() const;
    gdi::HFONT hFont();

  private:
    gdi::HFONT handle_ = 0;
    QFont handleFont_;
};

} // namespace vex
