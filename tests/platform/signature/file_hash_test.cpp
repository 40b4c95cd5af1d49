// Whole-file hashes against values from the reference tool (b2sum, b2sum -l 256), including a
// file longer than the pieces it is read in.
#include "platform/signature/FileHash.h"

#include <QBuffer>
#include <gtest/gtest.h>

using namespace vex::signature;

namespace {

template <std::size_t Size> QByteArray Hex(const std::array<unsigned char, Size>& hash) {
    return QByteArray(reinterpret_cast<const char*>(hash.data()), Size).toHex();
}

TEST(FileHash, MatchesTheReferenceForBothLengths) {
    struct Case {
        const char* name;
        QByteArray content;
        QByteArray blake2b256;
        QByteArray blake2b512;
    };
    const Case cases[] = {
        {"nothing", "", "0e5751c026e543b2e8ab2eb06099daa1d1e5df47778f7787faab45cdf12fe3a8",
         "786a02f742015903c6c6fd852552d272912f4740e15847618a86e217f71f5419d25e1031afee585313896444"
         "934eb04b903a685b1448b755d56f701afe9be2ce"},
        {"three letters", "abc", "bddd813c634239723171ef3fee98579b94964e3bb1cb3e427262c8c068d52319",
         "ba80a53f981c4d0d6a2797b69f12f6e94c212f14685ac4b74b12bb6fdbffa2d17d87c5392aab792dc252d5de"
         "4533cc9518d38aa8dbf1925ab92386edd4009923"},
        {"more than two pieces, the last one short", QByteArray(2621443, 'a'),
         "dcf26cd769efcb3d1d6e673e05e713bc9d1f4531c6dd30ec6e4f2064ff45e93a",
         "c6a662658f8812715820410f09f9e9720d3c12dda2b080df7913c793ec0693473309cf0cb730979408bebe32"
         "0e9ed2df7c44467dbc4da2abacae3d0612450643"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QBuffer in;
        in.setData(c.content);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        const std::optional<Blake2b256> short_ = HashBlake2b256(in);
        ASSERT_TRUE(short_);
        EXPECT_EQ(Hex(*short_), c.blake2b256);
        in.seek(0);
        const std::optional<Blake2b512> long_ = HashBlake2b512(in);
        ASSERT_TRUE(long_);
        EXPECT_EQ(Hex(*long_), c.blake2b512);
    }
}

TEST(FileHash, AnUnreadableDeviceHasNoHash) {
    QBuffer closed;
    EXPECT_FALSE(HashBlake2b256(closed));
    EXPECT_FALSE(HashBlake2b512(closed));
}

} // namespace
