#include "platform/runtime/TrustedPath.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>
#include <unistd.h>

using vex::runtime::WhyNotTrusted;

namespace {

constexpr uid_t kOtherUser = 65534; // nobody

// A tree under a private temporary folder T: T/app/Update/key, with what each row changes.
struct Tree {
    QTemporaryDir root;
    QString app() const { return root.filePath("app"); }
    QString update() const { return root.filePath("app/Update"); }
    QString key() const { return root.filePath("app/Update/key"); }

    Tree() {
        QDir(root.path()).mkpath("app/Update");
        QDir(root.path()).mkpath("elsewhere");
        for (const QString& folder : {app(), update(), root.filePath("elsewhere")})
            Mode(folder, 0755);
        QFile file(key());
        file.open(QIODevice::WriteOnly);
        file.write("key");
        file.close();
        Mode(key(), 0644);
    }
    static void Mode(const QString& path, mode_t mode) {
        ::chmod(QFile::encodeName(path).constData(), mode);
    }
    static void GiveAway(const QString& path) {
        [[maybe_unused]] const int rc =
            ::chown(QFile::encodeName(path).constData(), kOtherUser, kOtherUser);
    }
    // Update becomes a link to T/elsewhere, which then holds the key.
    void LinkUpdateElsewhere() const {
        const QString target = root.filePath("elsewhere/Update");
        QDir().rename(update(), target);
        QFile::link(target, update());
    }
};

struct Case {
    const char* name; // the fault the row catches
    std::function<void(const Tree&)> arrange;
    QString path;   // relative to T; the key when empty
    QString reason; // with %1 for T; empty: trusted
};

void Check(const Case& c) {
    Tree tree;
    c.arrange(tree);
    const QString path = c.path.isEmpty() ? tree.key() : tree.root.filePath(c.path);
    const QString expected = c.reason.isEmpty() ? QString() : c.reason.arg(tree.root.path());
    EXPECT_EQ(WhyNotTrusted(path), expected) << c.name;
}

} // namespace

TEST(TrustedPath, NothingOthersMayWriteOnTheWayIsTrusted) {
    const Case cases[] = {
        {"own file in own folders refused", [](const Tree&) {}, {}, {}},
        {"missing file in own folders refused", [](const Tree&) {}, "app/Update/none", {}},
        {"missing folder in own folders refused", [](const Tree&) {}, "app/Gone/key", {}},
        {"file others may write trusted",
         [](const Tree& t) { Tree::Mode(t.key(), 0646); },
         {},
         "the file %1/app/Update/key can be written by others than its owner (mode 0646)"},
        {"file the group may write trusted",
         [](const Tree& t) { Tree::Mode(t.key(), 0664); },
         {},
         "the file %1/app/Update/key can be written by others than its owner (mode 0664)"},
        {"folder others may write trusted",
         [](const Tree& t) { Tree::Mode(t.update(), 0777); },
         {},
         "the folder %1/app/Update can be written by others than its owner (mode 0777)"},
        {"missing file in a folder others may write trusted",
         [](const Tree& t) { Tree::Mode(t.update(), 0777); }, "app/Update/none",
         "the folder %1/app/Update can be written by others than its owner (mode 0777)"},
        {"folder higher up that others may write trusted",
         [](const Tree& t) { Tree::Mode(t.app(), 0775); },
         {},
         "the folder %1/app can be written by others than its owner (mode 0775)"},
        {"sticky folder (as /tmp) refused",
         [](const Tree& t) { Tree::Mode(t.app(), 01777); },
         {},
         {}},
        {"link in a folder others may write trusted",
         [](const Tree& t) {
             t.LinkUpdateElsewhere();
             Tree::Mode(t.app(), 0777);
         },
         {},
         "the folder %1/app can be written by others than its owner (mode 0777)"},
        {"folder a link leads to that others may write trusted",
         [](const Tree& t) {
             t.LinkUpdateElsewhere();
             Tree::Mode(t.root.filePath("elsewhere/Update"), 0777);
         },
         {},
         "the folder %1/elsewhere/Update can be written by others than its owner (mode 0777)"},
        {"safe folder a link leads to refused",
         [](const Tree& t) { t.LinkUpdateElsewhere(); },
         {},
         {}},
    };
    for (const Case& c : cases)
        Check(c);
}

TEST(TrustedPath, NothingAnotherUserOwnsOnTheWayIsTrusted) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give files to another user";
    const Case cases[] = {
        {"file of another user trusted",
         [](const Tree& t) { Tree::GiveAway(t.key()); },
         {},
         "the file %1/app/Update/key belongs to the user nobody, not to you or root"},
        {"folder of another user trusted",
         [](const Tree& t) { Tree::GiveAway(t.update()); },
         {},
         "the folder %1/app/Update belongs to the user nobody, not to you or root"},
        {"missing file in a folder of another user trusted",
         [](const Tree& t) { Tree::GiveAway(t.update()); }, "app/Update/none",
         "the folder %1/app/Update belongs to the user nobody, not to you or root"},
        {"link to a folder of another user trusted",
         [](const Tree& t) {
             t.LinkUpdateElsewhere();
             Tree::GiveAway(t.root.filePath("elsewhere/Update"));
         },
         {},
         "the folder %1/elsewhere/Update belongs to the user nobody, not to you or root"},
        {"sticky folder of another user trusted",
         [](const Tree& t) {
             Tree::Mode(t.app(), 01777);
             Tree::GiveAway(t.app());
         },
         {},
         "the folder %1/app belongs to the user nobody, not to you or root"},
    };
    for (const Case& c : cases)
        Check(c);
}
