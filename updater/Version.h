#pragma once

#include <QString>

#include <compare>
#include <optional>

namespace vex::updater {

// A version text. Versions are ordered as texts, code unit by code unit, never as numbers: at
// the first differing position the smaller code orders first, and a text that is the start of a
// longer one orders first. "1.10" therefore orders before "1.9". The type exists so that the
// decision reads `server > local` and the two sides cannot be swapped unnoticed.
class VersionText {
  public:
    VersionText() = default;
    explicit VersionText(QString text) : text_(std::move(text)) {}

    const QString& text() const { return text_; }

    friend std::strong_ordering operator<=>(const VersionText& a, const VersionText& b);
    friend bool operator==(const VersionText& a, const VersionText& b) {
        return a.text_ == b.text_;
    }

  private:
    QString text_;
};

// The first field of a text file. A page that starts with a UTF-16 byte-order mark (either
// byte order) is read as the UTF-16 text it holds; any other as Latin-1, one character per
// byte, a leading UTF-8 byte-order mark skipped. Blanks are skipped; a field that starts with a
// double quote runs to the next double quote (quotes dropped), or to the end of its line when
// no closing quote follows at all; otherwise it runs to the first comma, line end or end of
// file, with trailing blanks dropped. A file whose first line is empty yields the empty text.
// Empty when the file cannot be opened, is not a regular file (a FIFO is never waited for) or
// holds no character at all (a byte-order mark alone included).
std::optional<QString> ReadFirstField(const QString& path);

// The same over bytes already in memory; nullopt for no bytes at all.
std::optional<QString> FirstField(const QByteArray& bytes);

// The installed version: the first field of Update/ver.dat under programFolder, or fallback when
// that file cannot be read.
QString ReadLocalVersion(const QString& programFolder, const QString& fallback);

} // namespace vex::updater
