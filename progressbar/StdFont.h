#pragma once

#include "platform/gdi/gdi.h"

#include <QFont>
#include <QString>

namespace vex {

// The control's default font, which every new font object starts as.
inline constexpr char kDefaultFontName[] = "MS Sans Serif";
inline constexpr double kDefaultFontSize = 8.25; // points

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

    QString Name = QString::fromLatin1(kDefaultFontName);
    double Size = kDefaultFontSize; // points
    int Weight = 400;
    bool Italic = false;
    bool Underline = false;
    bool Strikethrough = false;
    int Charset = 0;

    QFont ToQFont() const;
    gdi::HFONT hFont();

  private:
    // What ToQFont depends on. Comparing these is what tells whether the handle still fits;
    // building a QFont to compare costs more than the text drawn with it.
    struct Attributes {
        QString name;
        double size = 0;
        int weight = 0;
        bool italic = false;
        bool underline = false;
        bool strikethrough = false;
        friend bool operator==(const Attributes&, const Attributes&) = default;
    };
    Attributes CurrentAttributes() const;

    gdi::HFONT handle_ = 0;
    Attributes handleAttributes_; // those the handle was made from
};

} // namespace vex
