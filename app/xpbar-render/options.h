#pragma once

#include "platform/runtime/types.h"

#include <QString>

#include <optional>
#include <stdexcept>

namespace xpbar {

using vex::Long;

// A command line that cannot be used: the message is the one line the user reads.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// What one run of the tool is asked to do. Properties that were not given stay unset and are
// not applied, so the control keeps its own defaults.
struct Options {
    QString galleryDir; // non-empty: write the gallery instead of one bar

    int width = 0;
    int height = 0;
    std::optional<Long> style;
    std::optional<Long> value;
    std::optional<Long> min;
    std::optional<Long> max;
    std::optional<Long> orientation;
    bool text = false;
    std::optional<Long> color;
    std::optional<Long> brushStyle;
    QString imageFile;
    QString fontFamily;
    double fontPointSize = 0;
    QString outFile;
    bool state = false;
};

// Parses the arguments after the program name. Throws UsageError for an unknown option, a
// missing or malformed value, or a missing required option.
Options ParseOptions(const QStringList& args);

// A colour in decimal or 0x-hex, read as the 32 bits of a colour value (0x8000000D names a
// system colour). Throws UsageError.
Long ParseColor(const QString& option, const QString& text);

extern const char* const kUsage;

} // namespace xpbar
