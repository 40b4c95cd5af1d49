// xpbar-render from the outside: exit statuses, its one-line errors, --state, and the images it
// writes match what the control paints.
#include "progressbar/headless/HeadlessHost.h"
#include "tests/support/Files.h"
#include "tests/support/SmallDisk.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <sys/stat.h>
#include <vector>

using vex::testing::ReadAll;

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

// Where the sheets put one bar lying down: the look's row and the cell's column (0..4 without
// text at 0, 25, 50, 75, 100 %, 5..9 the same with text), in 1x pixels.
QRect GalleryCell(int row, int column) {
    constexpr int kLeft = 12 + 150, kTop = 12 + 22, kColumn = 120 + 8, kRow = 20 + 8;
    return {kLeft + column * kColumn, kTop + row * kRow, 120, 20};
}
constexpr int kFlatRow = 3;

// The smallest rectangle holding every pixel in which two pictures of one size differ.
QRect ChangedBox(const QImage& a, const QImage& b) {
    QRect box;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) box |= QRect(x, y, 1, 1);
    return box;
}

TEST_F(XpbarRender, GalleryWritesTheSheetAndItsStates) {
    const QString dir = Path("gallery/sub");
    const Result r = RunTool({"--gallery", dir});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), dir + "/gallery.png");
    const QImage sheet = QImage(dir + "/gallery.png").convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(sheet.isNull());
    // Ten rows of ten bars plus the vertical section need room.
    EXPECT_GT(sheet.width(), 10 * 120);
    EXPECT_GT(sheet.height(), 10 * 20 + 100);

    // Each state's sheet, the plain sheet's size times the ratio and not the plain sheet.
    auto state = [&](const char* name, int ratio = 1) {
        const QImage image = QImage(dir + "/" + name).convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(image.size(), sheet.size() * ratio) << name;
        EXPECT_NE(image, sheet) << name;
        if (image.size() == sheet.size() * ratio) return image;
        QImage blank(sheet.size() * ratio, QImage::Format_RGB32); // the checks below then fail
        blank.fill(Qt::black);
        return blank;
    };
    auto cell = [](const QImage& image, int row, int column, int ratio = 1) {
        const QRect c = GalleryCell(row, column);
        return image.copy(QRect(c.topLeft() * ratio, c.size() * ratio));
    };

    // Disabled: grey, and not the sheet itself.
    const QImage disabled = state("gallery-disabled.png");
    for (int y = 0; y < disabled.height(); ++y)
        for (int x = 0; x < disabled.width(); ++x) {
            const QRgb p = disabled.pixel(x, y);
            ASSERT_TRUE(qRed(p) == qGreen(p) && qGreen(p) == qBlue(p)) << x << "," << y;
        }

    // Right to left: the fill a quarter adds lies in the bar's right half; on the plain sheet
    // in its left half.
    const QImage rtl = state("gallery-rtl.png");
    const QRect plainFill = ChangedBox(cell(sheet, kFlatRow, 1), cell(sheet, kFlatRow, 0));
    const QRect rtlFill = ChangedBox(cell(rtl, kFlatRow, 1), cell(rtl, kFlatRow, 0));
    ASSERT_FALSE(plainFill.isEmpty());
    EXPECT_LT(plainFill.right(), 60);
    ASSERT_FALSE(rtlFill.isEmpty());
    EXPECT_GE(rtlFill.left(), 60);
    EXPECT_EQ(rtlFill.width(), plainFill.width());

    // Another Highlight: the full flat bar takes its red where the sheet's is blue.
    const QImage palette = state("gallery-palette.png");
    const QRgb plainMiddle = cell(sheet, kFlatRow, 4).pixel(60, 10);
    const QRgb paletteMiddle = cell(palette, kFlatRow, 4).pixel(60, 10);
    EXPECT_GT(qBlue(plainMiddle), qRed(plainMiddle));
    EXPECT_GT(qRed(paletteMiddle), qBlue(paletteMiddle));

    // Another font: the bars without text stay as they are, the text grows.
    const QImage font = state("gallery-font.png");
    EXPECT_EQ(cell(font, kFlatRow, 2), cell(sheet, kFlatRow, 2));
    const QRect plainText = ChangedBox(cell(sheet, kFlatRow, 0), cell(sheet, kFlatRow, 5));
    const QRect fontText = ChangedBox(cell(font, kFlatRow, 0), cell(font, kFlatRow, 5));
    ASSERT_FALSE(plainText.isEmpty());
    EXPECT_GT(fontText.width(), plainText.width());
    EXPECT_GT(fontText.height(), plainText.height());

    // Twice the size: a bar without text is the 1x bar with every pixel doubled.
    const QImage twice = state("gallery-2x.png", 2);
    const QImage once = cell(sheet, kFlatRow, 2);
    EXPECT_EQ(cell(twice, kFlatRow, 2, 2),
              once.scaled(once.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    const QImage blocks = cell(sheet, 0, 3);
    EXPECT_EQ(cell(twice, 0, 3, 2),
              blocks.scaled(blocks.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation));
}

// What stands at the path itself, without following a link: 'f' regular file, 'l' link,
// 'p' FIFO, '-' nothing.
char KindAt(const QString& path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) return '-';
    if (S_ISREG(st.st_mode)) return 'f';
    if (S_ISLNK(st.st_mode)) return 'l';
    if (S_ISFIFO(st.st_mode)) return 'p';
    return '?';
}

TEST_F(XpbarRender, HostileNamesAreNeitherWrittenThroughNorWaitedOn) {
    QTemporaryDir outside;
    const QString victim = outside.filePath("victim.png");
    QFile file(victim);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("outside");
    file.close();
    const QString fifo = Path("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    // A real image beside a name that does not exist: the tool must not read it instead.
    ASSERT_TRUE(QImage(4, 4, QImage::Format_RGB32).save(Path("picture.png")));

    const QString out = Path("out.png");
    const QStringList bar = {"--width", "20", "--height", "8"};
    struct Case {
        const char* name; // the fault the row catches
        std::function<void()> prepare;
        QStringList args;
        int exitCode;
        const char* said; // a part of the error line
        char outKind;     // what stands at out.png afterwards
    };
    const std::vector<Case> cases = {
        {"--out link written through",
         [&] { QFile::link(victim, out); },
         {"--out", out},
         0,
         "",
         'f'},
        {"--out dangling link creates its target",
         [&] { QFile::link(outside.filePath("absent.png"), out); },
         {"--out", out},
         0,
         "",
         'f'},
        {"--out FIFO blocks the tool",
         [&] { ::mkfifo(QFile::encodeName(out).constData(), 0644); },
         {"--out", out},
         0,
         "",
         'f'},
        {"--image FIFO blocks the tool",
         {},
         {"--image", fifo, "--out", out},
         2,
         "not a regular file",
         '-'},
        {"--image reads NAME.png for a missing NAME",
         {},
         {"--image", Path("picture"), "--out", out},
         2,
         "No such file or directory",
         '-'},
        {"--image folder read",
         {},
         {"--image", outside.path(), "--out", out},
         2,
         "not a regular file",
         '-'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(out);
        if (c.prepare) c.prepare();
        const Result r = RunTool(bar + c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.said)) << r.err.toStdString();
        EXPECT_EQ(KindAt(out), c.outKind);
        if (c.outKind == 'f') {
            EXPECT_EQ(QImage(out).size(), QSize(20, 8));
        }
        EXPECT_EQ(ReadAll(victim), "outside");
        EXPECT_EQ(QDir(outside.path()).entryList(QDir::Files | QDir::System),
                  QStringList{"victim.png"});
    }
}

TEST_F(XpbarRender, FullDiskNamesTheFileAndTheReason) {
    vex::testing::SmallDisk disk(16 * 1024);
    if (!disk.Mounted()) GTEST_SKIP() << disk.SkipReason().toStdString();
    const QString out = disk.FilePath("big.ppm");
    const Result r = RunTool({"--width", "1000", "--height", "1000", "--out", out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "xpbar-render: Cannot write " + out + ": No space left on device\n");
    EXPECT_TRUE(QDir(disk.Path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

} // namespace
