// The first-field reader and the version ordering. The input holds up to three pages separated
// by NUL bytes; the first field of each is a version text.
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QList<VersionText> versions;
    for (const QByteArray& page : input.split('\0')) {
        const std::optional<QString> field = FirstField(page);
        // A byte-order mark alone is no content either.
        const bool blank = page.isEmpty() || page == "\xEF\xBB\xBF";
        FUZZ_CHECK(field.has_value() == !blank, "only no bytes at all give no field");
        if (!field) continue;
        // The field is a piece of the page: nothing is invented, nothing runs past the end.
        FUZZ_CHECK(field->size() <= page.size(), "field longer than its page");
        FUZZ_CHECK(QString::fromLatin1(page).contains(*field), "field is not a piece of the page");
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
