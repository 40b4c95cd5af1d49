#include "updater/Version.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <string_view>
#include <sys/stat.h>

#include "tests/support/QtPrinters.h"

using vex::updater::FirstField;
using vex::updater::VersionText;

// The UTF-8 byte-order mark that some editors write first.
const QByteArray kBom = "\xEF\xBB\xBF";

// A text saved as UTF-16 with its byte-order mark, little- or big-endian.
QByteArray Utf16(std::u16string_view text, bool bigEndian = false) {
    QByteArray bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes.append(bigEndian ? high : low).append(bigEndian ? low : high);
    }
    return bytes;
}

TEST(FirstField, ReadsTheFirstFieldOfAFile) {
    struct Case {
        const char* name; // the fault the row catches
        QByteArray bytes;
        std::optional<QString> expected;
    };
    const Case cases[] = {
        {"plain version not read", "1.2.3", "1.2.3"},
        {"line end kept in the value", "1.2.3\r\nrest", "1.2.3"},
        {"bare line feed kept", "1.2.3\nrest", "1.2.3"},
        {"text after a comma kept", "1.2.3,build 7\n", "1.2.3"},
        {"leading blanks kept", "   1.2.3\n", "1.2.3"},
        {"trailing blanks kept", "1.2.3  ,x\n", "1.2.3"},
        {"quotes kept", "\"1.2.3\"\n", "1.2.3"},
        {"comma inside quotes ends the field", "\"1,2 3\",x\n", "1,2 3"},
        {"quoted field across a line end cut", "\"1.2\n3\"", "1.2\n3"},
        {"unclosed quote loses the text", "\"1.2.3", "1.2.3"},
        {"empty first line not empty", "\r\n1.2.3\r\n", ""},
        {"only blanks fails", "   ", ""},
        {"empty file read as a field", "", std::nullopt},
        {"bytes above 127 not Latin-1", "1.2\xe9\n", QString::fromLatin1("1.2\xe9")},
        {"markup taken for a version", "<html>1.2</html>", "<html>1.2</html>"},
        {"byte-order mark read as text", kBom + "2.0.0\r\n", "2.0.0"},
        {"byte-order mark stops the blanks", kBom + "  2.0.0\n", "2.0.0"},
        {"byte-order mark before quotes kept", kBom + "\"2.0.0\"\n", "2.0.0"},
        {"byte-order mark alone read as a field", kBom, std::nullopt},
        {"mark inside the field dropped", "2.0" + kBom + "\n", QString::fromLatin1("2.0" + kBom)},
        {"unclosed quote runs past its line", "\"2.0.0\r\n<html>\r\n</html>\r\n", "2.0.0"},
        {"unclosed quote runs past a bare line feed", "  \"2.0, beta\nmore", "2.0, beta"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FirstField(c.bytes), c.expected) << c.name;
}

TEST(FirstField, ReadsAUtf16PageAsTheTextItHolds) {
    struct Case {
        const char* name; // the fault the row catches
        QByteArray bytes;
        std::optional<QString> expected;
    };
    const Case cases[] = {
        {"little-endian page read byte by byte", Utf16(u"2.0.0\r\n<html>"), "2.0.0"},
        {"big-endian page read byte by byte", Utf16(u"2.0.0\r\n<html>", true), "2.0.0"},
        {"byte order swapped", Utf16(u"1", true), "1"},
        {"blanks and comma not found in UTF-16", Utf16(u"  1.2  ,x\n"), "1.2"},
        {"quotes not found in UTF-16", Utf16(u"\"1,2\",x"), "1,2"},
        {"unclosed quote runs past its line in UTF-16", Utf16(u"\"2.0\r\n<html>"), "2.0"},
        {"characters beyond Latin-1 lost", Utf16(u"2.0\u00E9\u4E2D\n"),
         QString::fromUtf16(u"2.0\u00E9\u4E2D")},
        {"unpaired surrogate replaced", Utf16(u"2\xD800"), QString(QChar(u'2')) + QChar(0xD800)},
        {"odd last byte taken for a character", Utf16(u"1.2") + "3", "1.2"},
        {"UTF-16 mark alone read as a field", Utf16(u""), std::nullopt},
        {"mark and half a character read as a field", Utf16(u"") + "1", std::nullopt},
        {"second mark dropped", Utf16(u"\uFEFF1"), QString(QChar(0xFEFF)) + u'1'},
        {"single byte 0xFF taken for a mark", QByteArray("\xFF") + "1.0\n",
         QChar(0xFF) + QString("1.0")},
        {"UTF-16 mark after a UTF-8 one decoded", kBom + QByteArray("\xFF\xFE") + "1",
         QString(QChar(0xFF)) + QChar(0xFE) + "1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FirstField(c.bytes), c.expected) << c.name;
}

TEST(VersionText, OrdersByCodeUnitsNotNumbers) {
    struct Case {
        const char* local;
        const char* server;
        bool update; // server orders strictly after local
    };
    const Case cases[] = {
        {"1.2.3", "1.2.4", true}, {"1.2.3", "1.2.3", false}, {"1.9", "1.10", false},
        {"9.0", "10.0", false},   {"1.2", "1.2.1", true},    {"1.2.1", "1.2", false},
        {"1.0.0", "", false},     {"", "0", true},           {"1.2B", "1.2b", true},
        {"1.2b", "1.2B", false},  {"1.0.0", "1.0.1", true},
    };
    for (const Case& c : cases) {
        const VersionText local{QString::fromLatin1(c.local)};
        const VersionText server{QString::fromLatin1(c.server)};
        EXPECT_EQ(server > local, c.update) << "local " << c.local << ", server " << c.server;
    }
}

TEST(LocalVersion, FallsBackToOwnVersionWhenTheFileCannotBeRead) {
    struct Case {
        const char* name;                 // the fault the row catches
        std::optional<QByteArray> verDat; // nullopt: no file
        bool updateFolder;
        QString expected;
    };
    const Case cases[] = {
        {"file not read", "2.0.1\r\n", true, "2.0.1"},
        {"quotes not dropped", "\"2.0.1\"\r\n", true, "2.0.1"},
        {"missing file not replaced by the fallback", std::nullopt, true, "1.0.0"},
        {"missing folder not replaced by the fallback", std::nullopt, false, "1.0.0"},
        {"empty file not replaced by the fallback", QByteArray(), true, "1.0.0"},
        {"empty first line replaced by the fallback", "\r\n", true, ""},
        {"byte-order mark kept in the version", kBom + "2.0.1\r\n", true, "2.0.1"},
        {"byte-order mark alone not replaced by the fallback", kBom, true, "1.0.0"},
        {"UTF-16 version file read byte by byte", Utf16(u"2.0.1\r\n"), true, "2.0.1"},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        if (c.updateFolder) QDir(dir.path()).mkdir("Update");
        if (c.verDat) {
            QFile file(dir.filePath("Update/ver.dat"));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(*c.verDat);
        }
        EXPECT_EQ(vex::updater::ReadLocalVersion(dir.path(), "1.0.0"), c.expected) << c.name;
    }
}

TEST(LocalVersion, ReadsOnlyARegularFile) {
    struct Case {
        const char* name; // the fault the row catches
        std::function<void(const QDir& update)> plant;
        QString expected;
    };
    const Case cases[] = {
        {"FIFO waited for",
         [](const QDir& update) {
             ASSERT_EQ(::mkfifo(QFile::encodeName(update.filePath("ver.dat")).constData(), 0600),
                       0);
         },
         "1.0.0"},
        {"folder taken for a file", [](const QDir& update) { update.mkdir("ver.dat"); }, "1.0.0"},
        {"link to the version file not followed",
         [](const QDir& update) {
             QFile file(update.filePath("installed.dat"));
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
             file.write("2.0.1\r\n");
             file.close();
             ASSERT_TRUE(QFile::link("installed.dat", update.filePath("ver.dat")));
         },
         "2.0.1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        QDir(dir.path()).mkdir("Update");
        c.plant(QDir(dir.filePath("Update")));
        EXPECT_EQ(vex::updater::ReadLocalVersion(dir.path(), "1.0.0"), c.expected);
    }
}
