// Saving and restoring the control's properties: the store's rules, the keys, order, defaults
// and conversions, a round trip through a file, files that cannot be read, and links planted
// where a file is saved.
#include "progressbar/PropertyBag.h"
#include "progressbar/StdFont.h"
#include "progressbar/StdPicture.h"
#include "progressbar/headless/HeadlessHost.h"
#include "tests/progressbar/test_access.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

namespace vex {
namespace {

constexpr double kHighlightCode = static_cast<Long>(0x8000000D);

QStringList NamesOf(const PropertyBag& bag) {
    QStringList names;
    for (const auto& e : bag.Entries())
        names << e.name;
    return names;
}

double NumberIn(const PropertyBag& bag, const char* name) {
    return std::get<double>(bag.Read(name, NoObject{}));
}

TEST(PropertyBag, StoreRules) {
    PropertyBag bag;
    bag.Write("Color", 49152.0, kHighlightCode);
    EXPECT_EQ(std::get<double>(bag.Read("color", 0.0)), 49152.0) << "names ignore case";
    EXPECT_EQ(std::get<double>(bag.Read("Missing", 7.0)), 7.0) << "absent gives the default";

    bag.Write("Max", 100.0, 100.0);
    EXPECT_FALSE(bag.Contains("Max")) << "a value equal to its default is not kept";
    bag.Write("MAX", 5.0, 100.0);
    bag.Write("max", 100.0, 100.0);
    EXPECT_FALSE(bag.Contains("Max")) << "writing the default removes an earlier entry";

    bag.Write("ShowText", kTrue, -1.0);
    EXPECT_FALSE(bag.Contains("ShowText")) << "True equals the number -1";
    bag.Write("Image", NoObject{}, NoObject{});
    bag.Write("Picture", std::shared_ptr<StdPicture>(), NoObject{});
    EXPECT_TRUE(bag.Entries().size() == 1) << "no object equals no object";

    bag.Write("COLOR", 1.0, kHighlightCode);
    EXPECT_EQ(NamesOf(bag), QStringList{"Color"}) << "rewriting keeps one entry";
    EXPECT_EQ(NumberIn(bag, "Color"), 1.0);
}

// Defaults of the control's entries after InitializeControl and after loading an empty store.
TEST(SaveProperties, WritesOnlyWhatDiffersFromTheDefaults) {
    HeadlessHost fresh(40, 10);
    PropertyBag placed;
    fresh.Control().SaveProperties(placed);
    EXPECT_EQ(NamesOf(placed), (QStringList{"Font", "BrushStyle", "Color"}))
        << "a new instance has BrushStyle 0, whose stored default is 4";

    HeadlessHost restored(40, 10);
    restored.Control().LoadProperties(PropertyBag());
    PropertyBag saved;
    restored.Control().SaveProperties(saved);
    EXPECT_EQ(NamesOf(saved), (QStringList{"Font", "Color"}));
    EXPECT_EQ(NumberIn(saved, "Color"), gdi::GetSysColor(13)) << "saved as RGB, never as a code";
}

TEST(SaveProperties, WritesEveryKeyInOrderAndChangesNothing) {
    HeadlessHost host(40, 10);
    XP_ProgressBar& bar = host.Control();
    bar.SetBrushStyle(2);
    bar.SetColor(0x00C000);
    bar.SetImage(std::make_shared<StdPicture>(QImage(2, 2, QImage::Format_RGB32)));
    bar.SetMax(50);
    bar.SetMin(-5);
    bar.SetOrientation(1);
    bar.SetScrolling(8);
    bar.SetShowText(kTrue);
    bar.SetValue(10);
    host.ClearNotifications();
    gdi::SetPixelV(host.OwnDC(), 0, 0, gdi::RGB(255, 0, 255));

    PropertyBag bag;
    bar.SaveProperties(bag);
    EXPECT_EQ(NamesOf(bag), (QStringList{"Font", "BrushStyle", "Color", "Image", "Max", "Min",
                                         "Orientation", "Scrolling", "ShowText", "Value"}));
    EXPECT_EQ(std::get<Boolean>(bag.Read("ShowText", kFalse)), kTrue);
    EXPECT_EQ(NumberIn(bag, "Value"), 15.0) << "the stored percentage: 10 * 100 / 50 - 5";
    EXPECT_TRUE(host.Notifications().isEmpty());
    EXPECT_EQ(host.Screen().pixel(0, 0), qRgb(255, 0, 255)) << "saving must not repaint";
}

TEST(LoadProperties, EmptyStoreGivesTheRestoredDefaults) {
    HeadlessHost host(40, 10);
    XP_ProgressBar& bar = host.Control();
    const auto font = bar.GetFont();
    bar.SetValue(30);
    host.ClearNotifications();
    bar.LoadProperties(PropertyBag());
    XP_ProgressBarTestAccess a(bar);
    EXPECT_EQ(bar.GetFont(), font) << "a missing Font keeps the one InitializeControl made";
    EXPECT_EQ(a.BrushStyle(), 4);
    EXPECT_EQ(bar.GetColor(), gdi::GetSysColor(13));
    EXPECT_EQ(bar.GetImage(), nullptr);
    EXPECT_EQ(bar.GetMax(), 100);
    EXPECT_EQ(bar.GetMin(), 0);
    EXPECT_EQ(bar.GetOrientation(), 0);
    EXPECT_EQ(bar.GetScrolling(), 0);
    EXPECT_EQ(bar.GetShowText(), kFalse);
    EXPECT_EQ(bar.StoredPercent(), 0);
    EXPECT_EQ(host.Notifications(),
              (QStringList{"Max", "Min", "Orientation", "Scrolling", "ShowText"}));
}

TEST(LoadProperties, ConvertsWhatItReads) {
    struct Case {
        const char* name;
        const char* key;
        PropertyValue stored;
        std::function<bool(XP_ProgressBar&)> check;
    };
    const Case cases[] = {
        {"lower-case color is Color", "color", 49152.0,
         [](auto& b) { return b.GetColor() == 49152; }},
        {"a system-colour code is resolved", "Color", kHighlightCode,
         [](auto& b) { return b.GetColor() == gdi::GetSysColor(13); }},
        {"ShowText 1 is True", "ShowText", 1.0, [](auto& b) { return b.GetShowText() == kTrue; }},
        {"ShowText 0 is False", "ShowText", 0.0, [](auto& b) { return b.GetShowText() == kFalse; }},
        {"2.5 rounds to 2", "Max", 2.5, [](auto& b) { return b.GetMax() == 2; }},
        {"3.5 rounds to 4", "Max", 3.5, [](auto& b) { return b.GetMax() == 4; }},
        {"a Boolean as a number is -1", "Orientation", kTrue,
         [](auto& b) { return b.GetOrientation() == -1; }},
        {"no Image entry value leaves no picture", "Image", NoObject{},
         [](auto& b) { return b.GetImage() == nullptr; }},
        {"a font entry of no object keeps the font", "Font", NoObject{},
         [](auto& b) { return b.GetFont() && b.GetFont()->Name == "MS Sans Serif"; }},
        {"BrushStyle is stored as read", "BrushStyle", 0.0,
         [](auto& b) { return XP_ProgressBarTestAccess(b).BrushStyle() == 0; }},
        {"a stored percentage above 100 is capped by the repaint", "Value", 250.0,
         [](auto& b) { return b.StoredPercent() == 100; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HeadlessHost host(40, 10);
        PropertyBag bag;
        bag.Set(c.key, c.stored);
        host.Control().LoadProperties(bag);
        EXPECT_TRUE(c.check(host.Control()));
    }
}

// A bad entry stops the load there; what was applied before it stays.
TEST(LoadProperties, StopsAtABadEntryKeepingWhatCameBefore) {
    HeadlessHost host(40, 10);
    XP_ProgressBar& bar = host.Control();
    PropertyBag bag;
    bag.Set("Color", static_cast<double>(0x123456));
    bag.Set("Max", 1e12);
    bag.Set("Min", 3.0);
    EXPECT_THROW(bar.LoadProperties(bag), OverflowError);
    EXPECT_EQ(bar.GetColor(), 0x123456);
    EXPECT_EQ(XP_ProgressBarTestAccess(bar).BrushStyle(), 4);
    EXPECT_EQ(bar.GetMin(), 0);

    bag.Set("Max", 10.0);
    bag.Set("Scrolling", std::make_shared<StdFont>());
    EXPECT_THROW(bar.LoadProperties(bag), PropertyError);
    EXPECT_EQ(bar.GetMax(), 10);
    EXPECT_EQ(bar.GetMin(), 3);
    EXPECT_EQ(bar.GetScrolling(), 0);

    PropertyBag wrongPicture;
    wrongPicture.Set("Image", 5.0);
    EXPECT_THROW(bar.LoadProperties(wrongPicture), PropertyError);
}

// The bar comes back with the percentage it was saved with, whatever its range.
TEST(LoadProperties, ValueRoundTripKeepsThePercentageForAnyRange) {
    struct Case {
        const char* name;
        Long max, min, value, percent;
    };
    const Case cases[] = {
        {"default range", 100, 0, 37, 37}, {"wide range", 1000, 0, 15, 2},
        {"positive Min", 100, 10, 50, 60}, {"negative Max", -100, 0, 50, -50},
        {"below zero", 200, 0, -20, -10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HeadlessHost original(40, 10);
        original.Control().SetMax(c.max);
        original.Control().SetMin(c.min);
        original.Control().SetValue(c.value);
        ASSERT_EQ(original.Control().StoredPercent(), c.percent);
        PropertyBag bag;
        original.Control().SaveProperties(bag);

        HeadlessHost restored(40, 10);
        restored.Control().LoadProperties(bag);
        EXPECT_EQ(restored.Control().StoredPercent(), c.percent);
        EXPECT_EQ(restored.Control().GetValue(), original.Control().GetValue());
    }
}

TEST(LoadProperties, AZeroMaxIsRestoredWithoutAnError) {
    HeadlessHost original(40, 10);
    original.Control().SetValue(40);
    original.Control().SetMax(0);
    PropertyBag bag;
    original.Control().SaveProperties(bag);
    HeadlessHost restored(40, 10);
    EXPECT_NO_THROW(restored.Control().LoadProperties(bag));
    EXPECT_EQ(restored.Control().StoredPercent(), 40);
    EXPECT_EQ(restored.Control().GetMax(), 0);
}

TEST(PropertyFile, RoundTripGivesBackTheSameBar) {
    QTemporaryDir dir;
    const QString path = dir.filePath("bar.json");

    HeadlessHost original(60, 14);
    XP_ProgressBar& bar = original.Control();
    auto font = std::make_shared<StdFont>("DejaVu Sans", 9.75, 700);
    font->Italic = true;
    font->Underline = true;
    font->Strikethrough = true;
    font->Charset = 2;
    bar.SetFont(font);
    QImage tile(3, 2, QImage::Format_RGB32);
    tile.fill(qRgb(10, 20, 30));
    tile.setPixel(1, 1, qRgb(200, 100, 50));
    bar.SetImage(std::make_shared<StdPicture>(tile));
    bar.SetColor(0x00C000);
    bar.SetMax(400);
    bar.SetMin(0);
    bar.SetScrolling(8);
    bar.SetShowText(kTrue);
    bar.SetValue(150);

    PropertyBag bag;
    bag.Set("_extentx", 6165.0); // the container's own entry rides along
    bar.SaveProperties(bag);
    bag.SaveToFile(path);

    const PropertyBag loaded = PropertyBag::LoadFromFile(path);
    EXPECT_EQ(NamesOf(loaded), NamesOf(bag));
    EXPECT_EQ(NumberIn(loaded, "_extentx"), 6165.0);

    HeadlessHost restored(60, 14);
    XP_ProgressBar& copy = restored.Control();
    copy.LoadProperties(loaded);
    const auto f = copy.GetFont();
    EXPECT_EQ(f->Name, "DejaVu Sans");
    EXPECT_DOUBLE_EQ(f->Size, 9.75);
    EXPECT_EQ(f->Weight, 700);
    EXPECT_TRUE(f->Italic && f->Underline && f->Strikethrough);
    EXPECT_EQ(f->Charset, 2);
    ASSERT_NE(copy.GetImage(), nullptr);
    EXPECT_EQ(copy.GetImage()->Image().convertToFormat(QImage::Format_RGB32), tile);
    EXPECT_EQ(copy.GetColor(), 0x00C000);
    EXPECT_EQ(copy.GetMax(), 400);
    EXPECT_EQ(copy.GetScrolling(), 8);
    EXPECT_EQ(copy.GetShowText(), kTrue);
    EXPECT_EQ(copy.StoredPercent(), bar.StoredPercent());
    EXPECT_EQ(restored.Screen(), original.Screen()) << "the restored bar must look the same";
}

TEST(PropertyFile, UnreadableFilesAreClearErrors) {
    QTemporaryDir dir;
    PropertyBag good;
    good.Set("Color", 49152.0);
    good.Set("Font", std::make_shared<StdFont>());
    const QByteArray valid = good.ToJson();
    const std::pair<const char*, QByteArray> cases[] = {
        {"empty file", ""},
        {"not JSON", "Color=49152"},
        {"truncated", valid.left(valid.size() / 2)},
        {"a list instead of an object", "[]"},
        {"another format", R"({"format":"other","version":1,"entries":[]})"},
        {"a later version", R"({"format":"Vexbrindle.PropertyBag","version":2,"entries":[]})"},
        {"entries missing", R"({"format":"Vexbrindle.PropertyBag","version":1})"},
        {"entry without a value",
         R"({"format":"Vexbrindle.PropertyBag","version":1,"entries":[{"name":"Max"}]})"},
        {"entry without a name",
         R"({"format":"Vexbrindle.PropertyBag","version":1,"entries":[{"number":1}]})"},
        {"number of the wrong type",
         R"({"format":"Vexbrindle.PropertyBag","version":1,"entries":[{"name":"Max","number":"9"}]})"},
        {"font missing a field",
         R"({"format":"Vexbrindle.PropertyBag","version":1,"entries":[{"name":"Font","font":{"face":"A"}}]})"},
        {"picture that is not a PNG",
         R"({"format":"Vexbrindle.PropertyBag","version":1,"entries":[{"name":"Image","picture":"aGVsbG8="}]})"},
        {"picture that is not base64",
         R"({"format":"Vexbrindle.PropertyBag","version":1,"entries":[{"name":"Image","picture":"***"}]})"},
        {"the same name twice",
         R"({"format":"Vexbrindle.PropertyBag","version":1,"entries":[{"name":"Max","number":1},{"name":"max","number":2}]})"},
    };
    for (const auto& [name, content] : cases) {
        SCOPED_TRACE(name);
        const QString path = dir.filePath("bad.json");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        file.close();
        try {
            PropertyBag::LoadFromFile(path);
            ADD_FAILURE() << "loaded without an error";
        } catch (const PropertyError& e) {
            EXPECT_TRUE(QString(e.what()).contains(path)) << e.what();
        }
    }
    EXPECT_THROW(PropertyBag::LoadFromFile(dir.filePath("missing.json")), PropertyError);
}

TEST(PropertyFile, SaveThatCannotWriteIsAnError) {
    QTemporaryDir dir;
    EXPECT_THROW(PropertyBag().SaveToFile(dir.filePath("no/such/folder/bar.json")), PropertyError);
    EXPECT_THROW(PropertyBag().SaveToFile(dir.path()), PropertyError) << "a folder is no file";
}

TEST(PropertyFile, SaveReplacesALinkPlantedAtThePathAndLeavesItsTarget) {
    struct Case {
        const char* name; // the fault the row catches
        std::function<void(const QString& path, const QString& victim)> plant;
        bool victimExists;
    };
    const Case cases[] = {
        {"link to another's file written through",
         [](const QString& path, const QString& victim) {
             QFile file(victim);
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
             file.write("root's own file");
             file.close();
             ASSERT_TRUE(QFile::link(victim, path));
         },
         true},
        {"dangling link creates its target",
         [](const QString& path, const QString& victim) { ASSERT_TRUE(QFile::link(victim, path)); },
         false},
    };
    PropertyBag bag;
    bag.Set("Color", 49152.0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir shared;
        QTemporaryDir elsewhere;
        const QString path = shared.filePath("bar.json");
        const QString victim = elsewhere.filePath("victim");
        c.plant(path, victim);

        bag.SaveToFile(path);

        const QFileInfo saved(path);
        EXPECT_TRUE(saved.isFile() && !saved.isSymLink());
        EXPECT_EQ(NumberIn(PropertyBag::LoadFromFile(path), "Color"), 49152.0);
        QFile target(victim);
        EXPECT_EQ(target.exists(), c.victimExists);
        if (c.victimExists) {
            ASSERT_TRUE(target.open(QIODevice::ReadOnly));
            EXPECT_EQ(target.readAll(), "root's own file");
        }
        EXPECT_EQ(
            QDir(shared.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{"bar.json"});
    }
}

} // namespace
} // namespace vex
