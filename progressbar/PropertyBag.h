#pragma once

#include "platform/runtime/errors.h"
#include "platform/runtime/types.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <variant>
#include <vector>

namespace vex {

class StdFont;
class StdPicture;

// "No object": the value of an object entry that holds nothing.
struct NoObject {
    friend bool operator==(NoObject, NoObject) { return true; }
};

// One stored value: a number (any width, kept as a double, which holds every Long exactly), a
// Boolean, a font object, a picture object, or no object.
using PropertyValue =
    std::variant<double, Boolean, std::shared_ptr<StdFont>, std::shared_ptr<StdPicture>, NoObject>;

// Numbers and Booleans compare by value (True is -1); objects by identity; NoObject equals
// NoObject and a null object pointer.
bool SameValue(const PropertyValue& a, const PropertyValue& b);

// A stored value of the wrong kind for the property it is read into, or a stored file that
// cannot be read back.
class PropertyError : public RuntimeError {
  public:
    using RuntimeError::RuntimeError;
};

// Conversions applied to values read back: a number rounds half to even (OverflowError outside
// the Long range); a Boolean is -1 or 0; anything else is a PropertyError naming the entry.
Long ToLong(const QString& name, const PropertyValue& value);
Boolean ToBooleanValue(const QString& name, const PropertyValue& value);
std::shared_ptr<StdPicture> ToPicture(const QString& name, const PropertyValue& value);
std::shared_ptr<StdFont> ToFont(const QString& name, const PropertyValue& value);

// The named entries a container keeps for one control instance, in the order they were first
// written. Names match without regard to letter case. Entries of the container's own (an
// extent, say) sit beside the control's.
//
// File format (UTF-8 JSON):
//   { "format": "Vexbrindle.PropertyBag", "version": 1,
//     "entries": [ { "name": "Color", "number": 49152 },
//                  { "name": "ShowText", "boolean": true },
//                  { "name": "Image", "nothing": true },
//                  { "name": "Image", "picture": "<base64 PNG>" },
//                  { "name": "Font", "font": { "face": "MS Sans Serif", "size": 8.25,
//                    "weight": 400, "italic": false, "underline": false,
//                    "strikethrough": false, "charset": 0 } } ] }
class PropertyBag {
  public:
    struct Entry {
        QString name;
        PropertyValue value;
    };

    // The stored value, or `defaultValue` when there is no such entry.
    PropertyValue Read(const QString& name, const PropertyValue& defaultValue) const;
    // Stores the value; a value equal to its default leaves no entry, so that reading it back
    // gives the default.
    void Write(const QString& name, const PropertyValue& value, const PropertyValue& defaultValue);
    // Stores the value whatever it is (a container's own entries, or a hand-made store).
    void Set(const QString& name, const PropertyValue& value);
    bool Contains(const QString& name) const;
    void Remove(const QString& name);
    const std::vector<Entry>& Entries() const { return entries_; }

    QByteArray ToJson() const;
    // Throws PropertyError with a message saying what is wrong; nothing is returned half-read.
    static PropertyBag FromJson(const QByteArray& json);

    // Writes through a temporary file that replaces whatever stands at the path only when
    // complete (runtime::ReplacingFile): a failed save leaves the previous file as it was, a
    // symbolic link at the path is replaced and its target left alone, and the file gets a new
    // file's mode. Throws PropertyError naming the path and the reason on failure.
    void SaveToFile(const QString& path) const;
    // Throws PropertyError for a file that cannot be opened, is not JSON, is truncated or holds
    // an entry that cannot be decoded.
    static PropertyBag LoadFromFile(const QString& path);

  private:
    std::vector<Entry>::iterator Find(const QString& name);
    std::vector<Entry>::const_iterator Find(const QString& name) const;

    std::vector<Entry> entries_;
};

} // namespace vex
