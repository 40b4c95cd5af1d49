#include "tests/support/Minisign.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/TestServers.h"

#include "platform/signature/Blake2b.h"
#include "platform/signature/HashingSink.h"
#include "platform/signature/PublicKey.h"
#include "platform/signature/SignatureFile.h"
#include "platform/signature/verify.h"

#include <QBuffer>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

using namespace vex::signature;
using vex::testing::MinisignKeys;

namespace {

const QByteArray kContent = "1.2.0\r\nDrixa Billing update page\r\n";
const QString kLegacyRefused =
    "it signs the file's bytes themselves (algorithm \"Ed\", minisign -l); only signatures of "
    "the file's hash (minisign's default, \"ED\") are accepted";

class SignatureTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        keys_ = std::make_unique<MinisignKeys>();
        other_ = std::make_unique<MinisignKeys>();
    }
    static void TearDownTestSuite() {
        keys_.reset();
        other_.reset();
    }
    void SetUp() override {
        ASSERT_TRUE(keys_->Error().isEmpty()) << keys_->Error().toStdString();
        ASSERT_TRUE(other_->Error().isEmpty()) << other_->Error().toStdString();
    }

    static PublicKey Key(const MinisignKeys& keys) {
        QString why;
        const std::optional<PublicKey> key = PublicKey::FromFile(keys.PublicKeyFile(), why);
        EXPECT_TRUE(key) << why.toStdString();
        return key.value_or(PublicKey{});
    }
    static SignatureFile Parse(const QByteArray& text) {
        QString why;
        const std::optional<SignatureFile> file = SignatureFile::Parse(text, why);
        EXPECT_TRUE(file) << why.toStdString() << "\n" << text.toStdString();
        return file.value_or(SignatureFile{});
    }
    static Blake2b512 Hash(const QByteArray& bytes) {
        Blake2b hasher;
        hasher.Update(bytes.constData(), bytes.size());
        return hasher.Final();
    }

    static std::unique_ptr<MinisignKeys> keys_;
    static std::unique_ptr<MinisignKeys> other_;
};

std::unique_ptr<MinisignKeys> SignatureTest::keys_;
std::unique_ptr<MinisignKeys> SignatureTest::other_;

// The signature file with line `index` (0-based) replaced.
QByteArray WithLine(const QByteArray& file, int index, const QByteArray& line) {
    QList<QByteArray> lines = file.split('\n');
    lines[index] = line;
    return lines.join('\n');
}

// The signature line re-encoded with its decoded bytes changed by edit.
QByteArray EditSignatureLine(const QByteArray& file, const std::function<void(QByteArray&)>& edit) {
    QByteArray bytes = QByteArray::fromBase64(file.split('\n')[1]);
    edit(bytes);
    return WithLine(file, 1, bytes.toBase64());
}

} // namespace

TEST_F(SignatureTest, ReadsWhatMinisignWrites) {
    struct Case {
        const char* name; // the fault the row catches
        QString comment;
        QList<QByteArray> tokens;
    };
    const Case cases[] = {
        {"default comment of minisign not split at its tabs", {}, {"file:update.html", "hashed"}},
        {"comment given with -t not kept as written",
         "file:update.html version:1.2.0",
         {"file:update.html", "version:1.2.0"}},
    };
    const PublicKey key = Key(*keys_);
    for (const Case& c : cases) {
        const SignatureFile file = Parse(keys_->Sign("update.html", kContent, c.comment));
        EXPECT_EQ(file.keyId, key.keyId) << c.name;
        QList<QByteArray> tokens = file.TrustedTokens();
        tokens.removeIf([](const QByteArray& t) { return t.startsWith("timestamp:"); });
        EXPECT_EQ(tokens, c.tokens) << c.name;
        EXPECT_TRUE(file.NamesFile("update.html")) << c.name;
        EXPECT_TRUE(TrustedCommentIsGenuine(file, key)) << c.name;
    }
}

TEST_F(SignatureTest, TheFileNamedIsAWholeToken) {
    SignatureFile file;
    file.trustedComment = "timestamp:1\tfile:update.html\thashed";
    EXPECT_TRUE(file.NamesFile("update.html"));
    const char* others[] = {"update.htm", "pdate.html", "update.html.minisig", "", "hashed"};
    for (const char* name : others)
        EXPECT_FALSE(file.NamesFile(name)) << name;
    file.trustedComment = "file:a.exe";
    EXPECT_FALSE(file.NamesFile("update.html"));
    file.trustedComment = "xfile:update.html file: update.html";
    EXPECT_FALSE(file.NamesFile("update.html"));
}

TEST_F(SignatureTest, KeyIdReadsAsMinisignPrintsIt) {
    const QByteArray comment = keys_->PublicKeyFile().split('\n')[0];
    EXPECT_TRUE(comment.endsWith(" " + KeyIdText(Key(*keys_).keyId).toLatin1()))
        << comment.toStdString();
    // minisign prints the id as a number: no leading zeros.
    EXPECT_EQ(KeyIdText({0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01}), "123456789ABCDEF");
    EXPECT_EQ(KeyIdText({0x01, 0, 0, 0, 0, 0, 0, 0}), "1");
}

TEST_F(SignatureTest, TrustedTokensSplitAtBlanksAndTabs) {
    SignatureFile file;
    file.trustedComment = "timestamp:1\tfile:x  version:1.2.0 ";
    EXPECT_EQ(file.TrustedTokens(), (QList<QByteArray>{"timestamp:1", "file:x", "version:1.2.0"}));
}

TEST_F(SignatureTest, MalformedSignatureFilesAreRefusedWithAReason) {
    const QByteArray good = keys_->Sign("update.html", kContent, "version:1.2.0");
    struct Case {
        const char* name; // the fault the row catches
        QByteArray text;
        QString why;
    };
    const Case cases[] = {
        {"empty file", "", "it has 0 lines instead of 4"},
        {"truncated after three lines", good.split('\n').mid(0, 3).join('\n'),
         "it has 3 lines instead of 4"},
        {"an extra line", good + "more\n", "it has 5 lines instead of 4"},
        {"oversized", good + QByteArray(4096, 'x'),
         "it is larger than the 4096 bytes a signature file may have"},
        {"no untrusted comment", WithLine(good, 0, "comment: x"),
         "its first line is not an untrusted comment"},
        {"signature not base64", WithLine(good, 1, good.split('\n')[1].replace(4, 1, "*")),
         "its signature is not valid base64 of 74 bytes"},
        {"signature cut short", WithLine(good, 1, good.split('\n')[1].left(96)),
         "its signature is not valid base64 of 74 bytes"},
        {"signature without padding", WithLine(good, 1, good.split('\n')[1].chopped(1)),
         "its signature is not valid base64 of 74 bytes"},
        {"blank inside the base64", WithLine(good, 1, good.split('\n')[1].insert(8, ' ')),
         "its signature is not valid base64 of 74 bytes"},
        {"no trusted comment", WithLine(good, 2, "version:1.2.0"),
         "its third line is not a trusted comment"},
        {"comment signature not base64", WithLine(good, 3, "@@@@"),
         "its comment signature is not valid base64 of 64 bytes"},
        {"unknown algorithm", EditSignatureLine(good, [](QByteArray& b) { b[0] = 'X'; }),
         "it uses the unknown signature algorithm \"XD\""},
        {"unprintable algorithm", EditSignatureLine(good, [](QByteArray& b) { b[1] = '\x1b'; }),
         "it uses the unknown signature algorithm 0x451b"},
        {"relabelled to sign the bytes themselves",
         EditSignatureLine(good, [](QByteArray& b) { b[1] = 'd'; }), kLegacyRefused},
        {"legacy signature as minisign -l writes it",
         keys_->Sign("update.html", kContent, "version:1.2.0", true), kLegacyRefused},
    };
    for (const Case& c : cases) {
        QString why;
        EXPECT_FALSE(SignatureFile::Parse(c.text, why)) << c.name;
        EXPECT_EQ(why, c.why) << c.name;
    }
}

TEST_F(SignatureTest, LineEndingsOfAWindowsServerAreAccepted) {
    QByteArray text = keys_->Sign("update.html", kContent, "version:1.2.0");
    text.replace("\n", "\r\n");
    EXPECT_EQ(Parse(text).trustedComment, "version:1.2.0");
    EXPECT_TRUE(TrustedCommentIsGenuine(Parse(text), Key(*keys_)));
    EXPECT_EQ(Parse(text.chopped(2)).trustedComment, "version:1.2.0"); // no final line end
}

TEST_F(SignatureTest, PublicKeysFromFileAndLine) {
    const QByteArray file = keys_->PublicKeyFile();
    const QByteArray line = keys_->PublicKeyLine();
    QByteArray otherAlgorithm = QByteArray::fromBase64(line);
    otherAlgorithm[1] = 'D';
    struct Case {
        const char* name; // the fault the row catches
        bool fromFile;
        QByteArray text;
        QString why; // empty: accepted
    };
    const Case cases[] = {
        {"key file as minisign writes it", true, file, ""},
        {"key file with Windows line ends", true, QByteArray(file).replace("\n", "\r\n"), ""},
        {"key line alone", false, line, ""},
        {"key line with blanks around it", false, " " + line + "\n", ""},
        {"key file without its comment", true, line + "\n", "it has 1 lines instead of 2"},
        {"key file with a third line", true, file + "x\n", "it has 3 lines instead of 2"},
        {"comment line replaced", true, "x\n" + line + "\n",
         "its first line is not an untrusted comment"},
        {"key cut short", true, file.split('\n')[0] + "\n" + line.left(40),
         "its key is not valid base64 of 42 bytes"},
        {"key line of a signature", false, keys_->Sign("update.html", kContent).split('\n')[1],
         "its key is not valid base64 of 42 bytes"},
        {"key of another algorithm", false, otherAlgorithm.toBase64(),
         "its key is for the unknown algorithm \"ED\", not Ed25519"},
        {"oversized key file", true, file + QByteArray(4096, '#'),
         "it is larger than the 4096 bytes a key file may have"},
    };
    const PublicKey expected = Key(*keys_);
    for (const Case& c : cases) {
        QString why;
        const std::optional<PublicKey> key =
            c.fromFile ? PublicKey::FromFile(c.text, why) : PublicKey::FromBase64(c.text, why);
        EXPECT_EQ(why, c.why) << c.name;
        EXPECT_EQ(key.has_value(), c.why.isEmpty()) << c.name;
        if (key) {
            EXPECT_EQ(key->keyId, expected.keyId) << c.name;
            EXPECT_EQ(key->key, expected.key) << c.name;
        }
    }
}

TEST_F(SignatureTest, VerificationRefusesEveryAlteration) {
    const PublicKey key = Key(*keys_);
    const QByteArray prehashed = keys_->Sign("update.html", kContent, "version:1.2.0");
    QByteArray flippedContent = kContent;
    flippedContent[3] = static_cast<char>(flippedContent[3] ^ 1);

    // A flipped byte of the signature breaks the global signature, and the file signature too.
    const SignatureFile flippedSignature = Parse(
        EditSignatureLine(prehashed, [](QByteArray& b) { b[20] = static_cast<char>(b[20] ^ 1); }));
    EXPECT_FALSE(TrustedCommentIsGenuine(flippedSignature, key));
    EXPECT_FALSE(SignsHash(flippedSignature, key, Hash(kContent)));

    const SignatureFile flippedComment =
        Parse(WithLine(prehashed, 2, "trusted comment: version:1.2.1"));
    EXPECT_FALSE(TrustedCommentIsGenuine(flippedComment, key));
    EXPECT_TRUE(SignsHash(flippedComment, key, Hash(kContent))); // the file part is untouched

    EXPECT_TRUE(SignsHash(Parse(prehashed), key, Hash(kContent)));
    EXPECT_FALSE(SignsHash(Parse(prehashed), key, Hash(flippedContent)));
    EXPECT_FALSE(SignsHash(Parse(prehashed), Key(*other_), Hash(kContent)));
    EXPECT_FALSE(TrustedCommentIsGenuine(Parse(prehashed), Key(*other_)));
}

TEST_F(SignatureTest, AVerdictHoldsOnlyForTheSignedBytesUnderTheNameTheyWereSignedAs) {
    const PublicKey key = Key(*keys_);
    const QByteArray exe = vex::testing::PatternBytes(100'000, 3);
    const SignatureFile page = Parse(keys_->Sign("update.html", kContent));
    const SignatureFile exeSig =
        Parse(keys_->Sign("DrixaBilling2.exe", exe, "file:DrixaBilling2.exe version:1.2.0"));
    const SignatureFile unnamed = Parse(keys_->Sign("update.html", kContent, "version:1.2.0"));
    struct Case {
        const char* name; // the fault the row catches
        const SignatureFile& signature;
        const char* fileName;
        QByteArray bytes;
        bool verifies;
    };
    const Case cases[] = {
        {"the page refused", page, "update.html", kContent, true},
        {"the executable refused", exeSig, "DrixaBilling2.exe", exe, true},
        {"the executable's signature taken for the page", exeSig, "update.html", exe, false},
        {"the page's signature taken for the executable", page, "DrixaBilling2.exe", kContent,
         false},
        {"a signature naming no file accepted", unnamed, "update.html", kContent, false},
        {"other bytes under the right name accepted", page, "update.html", exe, false},
        {"the hash's own bytes accepted", page, "update.html",
         QByteArray(reinterpret_cast<const char*>(Hash(kContent).data()), 64), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Verifies(c.signature, key, c.fileName, Hash(c.bytes)), c.verifies) << c.name;
        EXPECT_FALSE(Verifies(c.signature, Key(*other_), c.fileName, Hash(c.bytes))) << c.name;
    }
}

TEST_F(SignatureTest, HashingSinkHashesWhatItPassesOn) {
    // More than the sink's ring holds: one write larger than the ring, then pieces whose size
    // does not divide it, so writes wrap around the ring's end.
    const QByteArray content =
        vex::testing::PatternBytes(HashingSink::kMaxPending * 3 + 12'345, 3) + kContent;
    QByteArray written;
    QBuffer target(&written);
    target.open(QIODevice::WriteOnly);
    HashingSink sink(target);
    qsizetype at = HashingSink::kMaxPending + 1;
    ASSERT_EQ(sink.write(content.left(at)), at);
    for (; at < content.size(); at += 100'003) {
        const QByteArray piece = content.mid(at, 100'003);
        ASSERT_EQ(sink.write(piece), piece.size());
    }
    EXPECT_TRUE(written == content);
    const Blake2b512 hash = sink.Final();
    EXPECT_EQ(hash, Hash(content));
    EXPECT_TRUE(SignsHash(Parse(keys_->Sign("update.html", content)), Key(*keys_), hash));
}

TEST_F(SignatureTest, HashingSinkHashesOnlyWhatTheTargetTook) {
    QByteArray written;
    QBuffer target(&written);
    target.open(QIODevice::ReadOnly); // refuses every write
    HashingSink sink(target);
    EXPECT_EQ(sink.write("abc"), -1);
    EXPECT_EQ(sink.Final(), Hash({}));
}

TEST_F(SignatureTest, HashingSinkReportsWhatWaitsToBeHashedAsASocketDoes) {
    // What a writer that must never wait relies on: bytesToWrite() counts what the hasher has
    // still to do, and bytesWritten() arrives through the loop until that is nothing, adding up
    // to every byte written.
    const QByteArray content = vex::testing::PatternBytes(HashingSink::kMaxPending / 2 + 7, 5);
    QByteArray written;
    QBuffer target(&written);
    target.open(QIODevice::WriteOnly);
    HashingSink sink(target);
    EXPECT_TRUE(sink.isSequential());
    EXPECT_EQ(sink.bytesToWrite(), 0);
    qint64 reported = 0;
    QEventLoop loop;
    QObject::connect(&sink, &QIODevice::bytesWritten, [&](qint64 n) {
        reported += n;
        if (sink.bytesToWrite() == 0) loop.quit();
    });
    ASSERT_EQ(sink.write(content), content.size());
    EXPECT_LE(sink.bytesToWrite(), content.size());
    QTimer::singleShot(10'000, &loop, [&] { loop.exit(1); });
    if (reported < content.size()) {
        EXPECT_EQ(loop.exec(), 0) << "no report that all was hashed";
    }
    EXPECT_EQ(reported, content.size());
    EXPECT_EQ(sink.bytesToWrite(), 0);
    EXPECT_EQ(sink.Final(), Hash(content));
}

TEST_F(SignatureTest, Blake2bOfNothingIsTheKnownValue) {
    Blake2b hasher;
    const Blake2b512 hash = hasher.Final();
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(hash.data()), 64).toHex(),
              "786a02f742015903c6c6fd852552d272912f4740e15847618a86e217f71f5419d25e1031afee585313"
              "896444934eb04b903a685b1448b755d56f701afe9be2ce");
}
