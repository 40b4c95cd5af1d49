// Saving the control's design-time settings into its container's store and applying them back.
// Neither handler catches errors: a bad entry stops it there, and what came before stays done.
#include "progressbar/XP_ProgressBar.h"

#include "progressbar/PropertyBag.h"
#include "progressbar/StdFont.h"
#include "progressbar/StdPicture.h"

namespace vex {

namespace {

// The highlight system colour, the default that goes with the "Color" entry.
constexpr double kHighlightColorCode = static_cast<Long>(0x8000000D);
// A restored instance without a "BrushStyle" entry gets the crosshatch.
constexpr double kDefaultBrushStyle = 4;
constexpr double kDefaultMax = 100;

const QString kFont = QStringLiteral("Font");
const QString kBrushStyle = QStringLiteral("BrushStyle");
const QString kColor = QStringLiteral("Color");
const QString kImage = QStringLiteral("Image");
const QString kMax = QStringLiteral("Max");
const QString kMin = QStringLiteral("Min");
const QString kOrientation = QStringLiteral("Orientation");
const QString kScrolling = QStringLiteral("Scrolling");
const QString kShowText = QStringLiteral("ShowText");
const QString kValue = QStringLiteral("Value");

PropertyValue Number(Long v) {
    return static_cast<double>(v);
}

PropertyValue PictureOrNothing(const std::shared_ptr<StdPicture>& p) {
    if (p) return p;
    return NoObject{};
}

} // namespace

// "Value" holds the stored percentage, whatever the range. Written as a position and read back
// through the Value setter it would come back changed for any range but 0 to 100 (and fail with
// a Max of 0); stored and restored as the percentage itself, the bar always comes back as it was
// saved. With the range 0 to 100 the two readings are the same number.
void XP_ProgressBar::SaveProperties(PropertyBag& store) const {
    store.Write(kFont, GetFont() ? PropertyValue(GetFont()) : PropertyValue(NoObject{}),
                NoObject{});
    store.Write(kBrushStyle, Number(BrushStyle), kDefaultBrushStyle);
    store.Write(kColor, Number(Color), kHighlightColorCode);
    store.Write(kImage, PictureOrNothing(Image), NoObject{});
    store.Write(kMax, Number(Max), kDefaultMax);
    store.Write(kMin, Number(Min), 0.0);
    store.Write(kOrientation, Number(Orientation), 0.0);
    store.Write(kScrolling, Number(Scrolling), 0.0);
    store.Write(kShowText, ShowText, kFalse);
    store.Write(kValue, Number(lPercent), 0.0);
}

void XP_ProgressBar::LoadProperties(const PropertyBag& store) {
    // An entry that holds no font keeps the current one too: the text always has a font.
    if (auto font = ToFont(kFont, store.Read(kFont, NoObject{}))) SetFont(std::move(font));
    BrushStyle = ToLong(kBrushStyle, store.Read(kBrushStyle, kDefaultBrushStyle));
    SetColor(ToLong(kColor, store.Read(kColor, kHighlightColorCode)));
    Image = ToPicture(kImage, store.Read(kImage, NoObject{}));
    SetMax(ToLong(kMax, store.Read(kMax, kDefaultMax)));
    SetMin(ToLong(kMin, store.Read(kMin, 0.0)));
    SetOrientation(ToLong(kOrientation, store.Read(kOrientation, 0.0)));
    SetScrolling(ToLong(kScrolling, store.Read(kScrolling, 0.0)));
    SetShowText(ToBooleanValue(kShowText, store.Read(kShowText, kFalse)));
    lPercent = ToLong(kValue, store.Read(kValue, 0.0));
    DrawProgressBar();
}

} // namespace vex
