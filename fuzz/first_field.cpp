// The first-field reader and the version ordering. The input holds up to three pages separated
// by NUL bytes; the first field of each is a version text. The whole input is read as one page
// too, so that a UTF-16 page, which holds NUL bytes, is read whole.
#include "fuzz/check.h"

#include "updater/Version.h"

#include <QByteArray>
#include <QList>

#include <cstddef>
#include <cstdint>

using vex::updater::FirstField;
using vex::updater::VersionText;

namespace {

int Sign(std::strong_ordering order) {
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

// The text a page holds: its UTF-16 code units after a UTF-16 byte-order mark, one character
// per byte otherwise (after a UTF-8 mark).
QString TextOf(const QByteArray& page) {
    const bool le = page.startsWith("\xFF\xFE");
    if (le || page.startsWith("\xFE\xFF")) {
        QString text;
        for (qsizetype i = 2; i + 1 < page.size(); i += 2) {
            const auto a = static_cast<unsigned char>(page[i]);
            const auto b = static_cast<unsigned char>(page[i + 1]);
            text += QChar(le ? (b << 8 | a) : (a << 8 | b));
        }
        return text;
    }
    return QString::fromLatin1(page.startsWith("\xEF\xBB\xBF") ? page.sliced(3) : page);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QList<VersionText> versions;
    QList<QByteArray> pages = input.split('\0');
    if (pages.size() > 1) pages << input;
    for (const QByteArray& page : pages) {
        const std::optional<QString> field = FirstField(page);
        // A byte-order mark alone is no content either.
        const QString text = TextOf(page);
        FUZZ_CHECK(field.has_value() == !text.isEmpty(), "only no text at all gives no field");
        if (!field) continue;
        // The field is a piece of the page: nothing is invented, nothing runs past the end.
        FUZZ_CHECK(field->size() <= page.size(), "field longer than its page");
        FUZZ_CHECK(text.contains(*field), "field is not a piece of the page");
        versions << VersionText(*field);
    }

    for (const VersionText& a : versions) {
        FUZZ_CHECK((a <=> a) == 0, "a version differs from itself");
        for (const VersionText& b : versions) {
            const int ab = Sign(a <=> b);
            FUZZ_CHECK(ab == -Sign(b <=> a), "ordering not antisymmetric");
            FUZZ_CHECK((ab == 0) == (a == b), "ordering disagrees with equality");
            // Code unit by code unit, as Qt orders texts without a locale.
            const int qt = QString::compare(a.text(), b.text(), Qt::CaseSensitive);
            FUZZ_CHECK(ab == (qt < 0 ? -1 : qt > 0 ? 1 : 0), "not ordered by code units");
            if (a.text().size() < b.text().size() && b.text().startsWith(a.text())) {
                FUZZ_CHECK(ab < 0, "a text orders after a longer one it starts");
            }
            for (const VersionText& c : versions) {
                if (a < b && b < c) FUZZ_CHECK(a < c, "ordering not transitive");
            }
        }
    }
    return 0;
}
