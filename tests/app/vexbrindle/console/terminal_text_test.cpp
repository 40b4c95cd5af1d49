#include "app/vexbrindle/console/TerminalText.h"

#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

TEST(ForTerminal, ShowsControlCharactersAsEscapes) {
    struct Case {
        const char* name; // the fault the row catches
        QString text;
        QString shown;
    };
    const Case cases[] = {
        {"plain text changed", "Completed Downloading Updated Version 2.0", //
         "Completed Downloading Updated Version 2.0"},
        {"title change reaches the terminal", "2.0\x1B]0;owned\x07", "2.0\\x1B]0;owned\\x07"},
        {"screen clear reaches the terminal", "HTTP 404 Not\x1B[2JFound",
         "HTTP 404 Not\\x1B[2JFound"},
        {"carriage return rewrites the line", "2.0\rDone", "2.0\\x0DDone"},
        {"line feed splits the message", "1.2\n3", "1.2\\x0A3"},
        {"DEL passed", QStringLiteral("a\x7F"), "a\\x7F"},
        {"8-bit CSI passed", QString(QChar(0x9B)) + "2J", "\\x9B2J"},
        {"Latin-1 letters escaped", QString::fromLatin1("1.2\xe9"), QString::fromLatin1("1.2\xe9")},
        {"right-to-left override passed", QString::fromUtf8("2.0\u202Eexe"), "2.0\\u202Eexe"},
        {"line separator passed", QString::fromUtf8("a\u2028b"), "a\\u2028b"},
        {"letters beyond the first plane escaped", QString::fromUtf8("ok \U0001F600"),
         QString::fromUtf8("ok \U0001F600")},
        {"lone surrogate passed", QString(QChar(0xD800)) + "x", "\\uD800x"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ForTerminal(c.text), c.shown) << c.name;
}
