// The property store a container keeps for a control, and its JSON file.
#include "progressbar/PropertyBag.h"

#include "platform/runtime/ReplacingFile.h"
#include "platform/runtime/arith.h"
#include "progressbar/StdFont.h"
#include "progressbar/StdPicture.h"

#include <QBuffer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace vex {

namespace {

const QString kFormatName = QStringLiteral("Vexbrindle.PropertyBag");
constexpr int kFormatVersion = 1;

// The numeric value of a number or Boolean; nothing for objects.
const double* NumberOf(const PropertyValue& v, double& storage) {
    if (const double* d = std::get_if<double>(&v)) return d;
    if (const Boolean* b = std::get_if<Boolean>(&v)) {
        storage = *b;
        return &storage;
    }
    return nullptr;
}

bool IsNothing(const PropertyValue& v) {
    if (std::holds_alternative<NoObject>(v)) return true;
    if (auto f = std::get_if<std::shared_ptr<StdFont>>(&v)) return *f == nullptr;
    if (auto p = std::get_if<std::shared_ptr<StdPicture>>(&v)) return *p == nullptr;
    return false;
}

PropertyError TypeMismatch(const QString& name, const char* wanted) {
    return PropertyError(QStringLiteral("Type mismatch: property \"%1\" does not hold %2")
                             .arg(name, QLatin1String(wanted))
                             .toStdString());
}

QJsonObject FontToJson(const StdFont& font) {
    return QJsonObject{{"face", font.Name},           {"size", font.Size},
                       {"weight", font.Weight},       {"italic", font.Italic},
                       {"underline", font.Underline}, {"strikethrough", font.Strikethrough},
                       {"charset", font.Charset}};
}

QString PictureToBase64Png(const StdPicture& picture) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.Image().save(&buffer, "PNG");
    return QString::fromLatin1(png.toBase64());
}

// Reads one field of a JSON object, refusing a missing field or one of the wrong type.
QJsonValue Field(const QJsonObject& o, const char* key, QJsonValue::Type type,
                 const QString& where) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.type() != type) {
        throw PropertyError(QStringLiteral("%1: field \"%2\" is missing or of the wrong type")
                                .arg(where, QLatin1String(key))
                                .toStdString());
    }
    return v;
}

std::shared_ptr<StdFont> FontFromJson(const QJsonObject& o, const QString& where) {
    auto font = std::make_shared<StdFont>();
    font->Name = Field(o, "face", QJsonValue::String, where).toString();
    font->Size = Field(o, "size", QJsonValue::Double, where).toDouble();
    font->Weight = Field(o, "weight", QJsonValue::Double, where).toInt();
    font->Italic = Field(o, "italic", QJsonValue::Bool, where).toBool();
    font->Underline = Field(o, "underline", QJsonValue::Bool, where).toBool();
    font->Strikethrough = Field(o, "strikethrough", QJsonValue::Bool, where).toBool();
    font->Charset = Field(o, "charset", QJsonValue::Double, where).toInt();
    return font;
}

std::shared_ptr<StdPicture> PictureFromBase64Png(const QString& text, const QString& where) {
    const auto decoded =
        QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    QImage image;
    if (!decoded || !image.loadFromData(*decoded, "PNG")) {
        throw PropertyError(
            QStringLiteral("%1: the picture is not a valid base64 PNG").arg(where).toStdString());
    }
    return std::make_shared<StdPicture>(image);
}

QJsonObject EntryToJson(const PropertyBag::Entry& e) {
    QJsonObject o{{"name", e.name}};
    if (IsNothing(e.value)) {
        o.insert("nothing", true);
    } else if (auto d = std::get_if<double>(&e.value)) {
        o.insert("number", *d);
    } else if (auto b = std::get_if<Boolean>(&e.value)) {
        o.insert("boolean", IsTrue(*b));
    } else if (auto f = std::get_if<std::shared_ptr<StdFont>>(&e.value)) {
        o.insert("font", FontToJson(**f));
    } else if (auto p = std::get_if<std::shared_ptr<StdPicture>>(&e.value)) {
        o.insert("picture", PictureToBase64Png(**p));
    }
    return o;
}

PropertyBag::Entry EntryFromJson(const QJsonValue& v, int index) {
    QString where = QStringLiteral("entry %1").arg(index);
    if (!v.isObject())
        throw PropertyError((where + QStringLiteral(" is not an object")).toStdString());
    const QJsonObject o = v.toObject();
    const QString name = Field(o, "name", QJsonValue::String, where).toString();
    if (name.isEmpty())
        throw PropertyError((where + QStringLiteral(" has an empty name")).toStdString());
    where = QStringLiteral("entry %1 (\"%2\")").arg(index).arg(name);
    if (o.contains("number")) {
        return {name, Field(o, "number", QJsonValue::Double, where).toDouble()};
    }
    if (o.contains("boolean")) {
        return {name, ToBoolean(Field(o, "boolean", QJsonValue::Bool, where).toBool())};
    }
    if (o.contains("font")) {
        return {name, FontFromJson(Field(o, "font", QJsonValue::Object, where).toObject(), where)};
    }
    if (o.contains("picture")) {
        return {name, PictureFromBase64Png(
                          Field(o, "picture", QJsonValue::String, where).toString(), where)};
    }
    if (o.contains("nothing")) return {name, NoObject{}};
    throw PropertyError((where + QStringLiteral(" has no value")).toStdString());
}

} // namespace

bool SameValue(const PropertyValue& a, const PropertyValue& b) {
    double sa = 0, sb = 0;
    const double* na = NumberOf(a, sa);
    const double* nb = NumberOf(b, sb);
    if (na || nb) return na && nb && *na == *nb;
    if (IsNothing(a) || IsNothing(b)) return IsNothing(a) && IsNothing(b);
    return a == b;
}

Long ToLong(const QString& name, const PropertyValue& value) {
    double storage = 0;
    const double* n = NumberOf(value, storage);
    if (!n) throw TypeMismatch(name, "a number");
    return CLng(*n);
}

Boolean ToBooleanValue(const QString& name, const PropertyValue& value) {
    double storage = 0;
    const double* n = NumberOf(value, storage);
    if (!n) throw TypeMismatch(name, "a Boolean");
    return ToBoolean(*n != 0.0);
}

std::shared_ptr<StdPicture> ToPicture(const QString& name, const PropertyValue& value) {
    if (IsNothing(value)) return nullptr;
    if (auto p = std::get_if<std::shared_ptr<StdPicture>>(&value)) return *p;
    throw TypeMismatch(name, "a picture");
}

std::shared_ptr<StdFont> ToFont(const QString& name, const PropertyValue& value) {
    if (IsNothing(value)) return nullptr;
    if (auto f = std::get_if<std::shared_ptr<StdFont>>(&value)) return *f;
    throw TypeMismatch(name, "a font");
}

std::vector<PropertyBag::Entry>::iterator PropertyBag::Find(const QString& name) {
    return std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) {
        return e.name.compare(name, Qt::CaseInsensitive) == 0;
    });
}

std::vector<PropertyBag::Entry>::const_iterator PropertyBag::Find(const QString& name) const {
    return std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) {
        return e.name.compare(name, Qt::CaseInsensitive) == 0;
    });
}

PropertyValue PropertyBag::Read(const QString& name, const PropertyValue& defaultValue) const {
    const auto it = Find(name);
    return it == entries_.end() ? defaultValue : it->value;
}

void PropertyBag::Write(const QString& name, const PropertyValue& value,
                        const PropertyValue& defaultValue) {
    if (SameValue(value, defaultValue)) {
        Remove(name);
    } else {
        Set(name, value);
    }
}

void PropertyBag::Set(const QString& name, const PropertyValue& value) {
    const auto it = Find(name);
    if (it == entries_.end()) {
        entries_.push_back({name, value});
    } else {
        it->value = value;
    }
}

bool PropertyBag::Contains(const QString& name) const {
    return Find(name) != entries_.end();
}

void PropertyBag::Remove(const QString& name) {
    const auto it = Find(name);
    if (it != entries_.end()) entries_.erase(it);
}

QByteArray PropertyBag::ToJson() const {
    QJsonArray entries;
    for (const Entry& e : entries_)
        entries.append(EntryToJson(e));
    const QJsonObject root{
        {"format", kFormatName}, {"version", kFormatVersion}, {"entries", entries}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

PropertyBag PropertyBag::FromJson(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError) {
        throw PropertyError(QStringLiteral("Not a valid property file: %1 at offset %2")
                                .arg(error.errorString())
                                .arg(error.offset)
                                .toStdString());
    }
    if (!doc.isObject()) throw PropertyError("Not a valid property file: no top-level object");
    const QJsonObject root = doc.object();
    if (root.value("format").toString() != kFormatName) {
        throw PropertyError("Not a valid property file: unknown format");
    }
    if (root.value("version").toInt(-1) != kFormatVersion) {
        throw PropertyError("Unsupported property file version");
    }
    const QJsonValue entries = Field(root, "entries", QJsonValue::Array, "Property file");
    PropertyBag bag;
    int index = 0;
    for (const QJsonValue& v : entries.toArray()) {
        const Entry e = EntryFromJson(v, index++);
        if (bag.Contains(e.name)) {
            throw PropertyError(
                QStringLiteral("Property \"%1\" is stored twice").arg(e.name).toStdString());
        }
        bag.entries_.push_back(e);
    }
    return bag;
}

void PropertyBag::SaveToFile(const QString& path) const {
    // The same way the updater writes its files: a link planted at the path is replaced, never
    // written through, which matters when a privileged program saves into a shared folder.
    vex::runtime::ReplacingFile file(path);
    const QByteArray json = ToJson();
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.commit()) {
        throw PropertyError(file.errorString().toStdString());
    }
}

PropertyBag PropertyBag::LoadFromFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw PropertyError(QStringLiteral("Cannot read the property file %1: %2")
                                .arg(path, file.errorString())
                                .toStdString());
    }
    try {
        return FromJson(file.readAll());
    } catch (const PropertyError& e) {
        throw PropertyError(
            QStringLiteral("%1: %2").arg(path, QString::fromStdString(e.what())).toStdString());
    }
}

} // namespace vex
