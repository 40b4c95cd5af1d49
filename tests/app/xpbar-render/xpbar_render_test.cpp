// xpbar-render from the outside: exit statuses, its one-line errors, --state, and the images it
// writes match what the control paints.
#include "progressbar/headless/HeadlessHost.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

Result RunTool(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(XPBAR_RENDER_PATH), args);
    // A generous deadline: the tool paints one small bar.
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    Result r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

class XpbarRender : public ::testing::Test {
  protected:
    QString Path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir_;
};

TEST_F(XpbarRender, UnusableCommandLinesExitWith2AndOneLine) {
    QFile junk(Path("junk.png"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not an image");
    junk.close();

    const QString out = Path("out.png");
    struct Case {
        const char* name;
        QStringList args;
    };
    const std::vector<Case> cases = {
        {"unknown option", {"--width", "10", "--height", "10", "--out", out, "--bogus"}},
        {"missing value at the end", {"--width", "10", "--height", "10", "--out"}},
        {"non-numeric width", {"--width", "ten", "--height", "10", "--out", out}},
        {"zero height", {"--width", "10", "--height", "0", "--out", out}},
        {"value beyond 32 bits",
         {"--width", "10", "--height", "10", "--value", "3000000000", "--out", out}},
        {"colour that is not a number",
         {"--width", "10", "--height", "10", "--color", "0xZZ", "--out", out}},
        {"font without a size",
         {"--width", "10", "--height", "10", "--font", "Sans", "--out", out}},
        {"no output file", {"--width", "10", "--height", "10"}},
        {"output of an unknown kind",
         {"--width", "10", "--height", "10", "--out", Path("out.bmp")}},
        {"missing width", {"--height", "10", "--out", out}},
        {"unreadable image",
         {"--width", "10", "--height", "10", "--image", junk.fileName(), "--out", out}},
        {"missing image",
         {"--width", "10", "--height", "10", "--image", Path("none.png"), "--out", out}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Result r = RunTool(c.args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith("xpbar-render: ")) << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(out)) << "nothing written";
    }
}

TEST_F(XpbarRender, ErrorsOfTheControlExitWith1) {
    const QString out = Path("out.png");
    struct Case {
        const char* name;
        QStringList args;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"value times 100 overflows", {"--value", "30000000"}, "Overflow"},
        {"Max of 0 divides by zero", {"--max", "0", "--value", "5"}, "Division by zero"},
        {"hatch style beyond 16 bits", {"--style", "7", "--brush-style", "70000"}, "Overflow"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Result r =
            RunTool(QStringList{"--width", "50", "--height", "10", "--out", out} + c.args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(out)) << "nothing written";
    }
}

TEST_F(XpbarRender, StatePrintsValueAndStoredPercentage) {
    struct Case {
        QStringList args;
        const char* line;
    };
    const std::vector<Case> cases = {
        {{"--value", "37"}, "Value=37 lPercent=37\n"},
        {{"--value", "150"}, "Value=100 lPercent=100\n"},
        {{"--min", "10", "--value", "50"}, "Value=6 lPercent=60\n"},
        {{"--max", "1000", "--value", "15"}, "Value=20 lPercent=2\n"},
        {{"--value", "-10"}, "Value=-10 lPercent=-10\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const Result r = RunTool(
            QStringList{"--width", "40", "--height", "10", "--out", Path("s.ppm"), "--state"} +
            c.args);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.out.toStdString(), c.line);
    }
}

// The file shows exactly what the control's own DC shows after the same setters.
TEST_F(XpbarRender, WritesWhatTheControlPaints) {
    vex::HeadlessHost host(120, 18);
    vex::XP_ProgressBar& bar = host.Control();
    bar.SetColor(0x0000C000);
    bar.SetScrolling(vex::Glass);
    bar.SetShowText(vex::kTrue);
    bar.SetValue(60);
    const QImage expected = host.Screen().convertToFormat(QImage::Format_RGB888);

    for (const char* name : {"bar.png", "bar.ppm", "BAR.PNG"}) {
        SCOPED_TRACE(name);
        const QString file = Path(name);
        const Result r = RunTool({"--width", "120", "--height", "18", "--style", "9", "--color",
                                  "0x0000C000", "--text", "--value", "60", "--out", file});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QImage written(file);
        ASSERT_FALSE(written.isNull());
        EXPECT_EQ(written.convertToFormat(QImage::Format_RGB888), expected);
    }
    QFile ppm(Path("bar.ppm"));
    ASSERT_TRUE(ppm.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ppm.read(2) == "P6") << "binary PPM";
}

TEST_F(XpbarRender, SystemColourCodesAreResolved) {
    const Result r = RunTool({"--width", "30", "--height", "20", "--style", "3", "--value", "100",
                              "--color", "0x8000000D", "--out", Path("sys.png")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const Result d = RunTool({"--width", "30", "--height", "20", "--style", "3", "--value", "100",
                              "--color", "2147483661", "--out", Path("dec.png")});
    ASSERT_EQ(d.exitCode, 0) << d.err.toStdString();
    EXPECT_EQ(QImage(Path("sys.png")), QImage(Path("dec.png")));
}

TEST_F(XpbarRender, GalleryWritesOneContactSheet) {
    const QString dir = Path("gallery/sub");
    const Result r = RunTool({"--gallery", dir});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QImage sheet(dir + "/gallery.png");
    ASSERT_FALSE(sheet.isNull());
    // Ten rows of ten bars plus the vertical section need room.
    EXPECT_GT(sheet.width(), 10 * 120);
    EXPECT_GT(sheet.height(), 10 * 20 + 100);
}

} // namespace
