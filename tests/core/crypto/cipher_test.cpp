// The key derivation and the cipher streams. The expected bytes were computed outside this
// code base, with Python's hashlib.pbkdf2_hmac and the openssl command-line tool
// (openssl enc -aes-128-cbc -K <key> -iv 00…); the tests also ask openssl again at run time
// for streams of every length around the block and buffer boundaries.

#include "crypto/cipher.h"
#include "support/testsupport.h"
#include "util/fs.h"

#include <QFile>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace folivo;
using namespace folivo::crypto;
using folivo::test::Scratch;

namespace {

struct Vector {
    QString password;
    const char* passwordBytesHex;
    const char* keyHex;
    const char* markerHex; // "Encrypted DB" enciphered
    const char* emptyHex;  // no bytes enciphered: one padding block
};

const Vector Vectors[] = {
    {QStringLiteral("password"), "70617373776f7264", "ddf2087458e6330895d949c9333d4600",
     "030e69bea946957ef66659be51e07ee0", "3424dae8edd7d6d2f3e3e39a8d2eb9e8"},
    // Outside ASCII the UTF-8 bytes are cut to the number of UTF-16 code units.
    {QStringLiteral("pässwörd"), "70c3a4737377c3b6", "57cef3e8d52b6672ff3a9bca6addde6a",
     "54c699d0dd43fa2b8a13008180d21fe0", "8ee82ae3ee5c971649a8ef26a1559926"},
    {QStringLiteral("日本語"), "e697a5", "c93d4c0c02623abb19e6a2ad67d4de40", "4d68b776730002b91eb263028fd0903d",
     "67a4b685f9ae71f43444f5ec6828ff8f"},
    // A character outside the basic plane counts as two code units.
    {QStringLiteral("a😀b"), "61f09f98", "21ec2dfce6d077d14e65841b7459f35c", "2f01b279b69643643f920d765492e9e0",
     "0e01cf4272e6c0e9d05c50588c8e6da5"},
    {QString(), "", "37f0df13d8183359d6e462a1fdd20192", "b4e533841135d923cf2dcd7085fa05a2",
     "04a365096641a0dba8a3cfc41ab88c4a"},
};

QByteArray pattern(qsizetype size, int seed = 7)
{
    QByteArray data(size, Qt::Uninitialized);
    quint32 x = quint32(seed) * 2654435761u + 1;
    for (qsizetype i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        data[i] = char(x >> 16);
    }
    return data;
}

} // namespace

TEST(Cipher, KeysAndCiphertextsMatchIndependentVectors)
{
    for (const Vector& v : Vectors) {
        SCOPED_TRACE(v.password.toStdString());
        EXPECT_EQ(passwordBytes(v.password).toHex(), QByteArray(v.passwordBytesHex));
        auto key = DatabaseKey::fromPassword(v.password);
        ASSERT_TRUE(key);
        EXPECT_EQ(key->key().toHex(), QByteArray(v.keyHex));
        EXPECT_EQ(cryptData(key->encryptor(), "Encrypted DB")->toHex(), QByteArray(v.markerHex));
        EXPECT_EQ(cryptData(key->encryptor(), QByteArrayView())->toHex(), QByteArray(v.emptyHex));
        // Each run starts from the zero vector: the same input gives the same bytes again.
        EXPECT_EQ(cryptData(key->encryptor(), "Encrypted DB")->toHex(), QByteArray(v.markerHex));
        auto plain = cryptData(key->decryptor(), QByteArray::fromHex(v.markerHex));
        ASSERT_TRUE(plain);
        EXPECT_EQ(*plain, QByteArray("Encrypted DB"));
    }
}

TEST(Cipher, WrongKeyOrDamagedCiphertextIsAFailureNotAnEmptyResult)
{
    auto right = DatabaseKey::fromPassword(QStringLiteral("password"));
    auto wrong = DatabaseKey::fromPassword(QStringLiteral("Password"));
    const QByteArray marker = QByteArray::fromHex("030e69bea946957ef66659be51e07ee0");
    // A wrong key almost always breaks the padding of the last block.
    EXPECT_FALSE(cryptData(wrong->decryptor(), marker));
    EXPECT_FALSE(cryptData(right->decryptor(), marker.left(15))); // not whole blocks
    EXPECT_FALSE(cryptData(right->decryptor(), QByteArrayView()));
    // A failed run leaves nothing behind in the cipher object.
    EXPECT_EQ(*cryptData(right->decryptor(), marker), QByteArray("Encrypted DB"));
    // The empty plain text is a success with no bytes, not a failure.
    auto empty = cryptData(right->decryptor(), QByteArray::fromHex("3424dae8edd7d6d2f3e3e39a8d2eb9e8"));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->isEmpty());
    EXPECT_TRUE(right->key().sameAs(DatabaseKey::fromPassword(QStringLiteral("password"))->key()));
    EXPECT_FALSE(right->key().sameAs(wrong->key()));
}

TEST(Cipher, StreamsOfEveryShapeAgreeWithOpenssl)
{
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (openssl.isEmpty())
        GTEST_SKIP() << "no openssl command here";
    Scratch s;
    auto key = DatabaseKey::fromPassword(QStringLiteral("pässwörd"));
    const qsizetype chunk = qsizetype(256) << 10; // the stream's buffer
    for (qsizetype size : {qsizetype(0), qsizetype(1), qsizetype(15), qsizetype(16), qsizetype(32), qsizetype(33),
                           chunk - 1, chunk, chunk + 1, 3 * chunk + 5}) {
        SCOPED_TRACE(size);
        const QByteArray plain = pattern(size, int(size));
        const QString in = s.file(QStringLiteral("in%1").arg(size));
        const QString enc = in + ".fvdbe", dec = in + ".out";
        ASSERT_TRUE(test::writeAll(in, plain));
        const CryptResult e = useCryptor(key->encryptor(), in, enc);
        ASSERT_TRUE(e.ok) << e.error.toStdString();
        EXPECT_EQ(e.bytesWritten, (size / 16 + 1) * 16); // always one more block, even for 0 bytes
        const auto reference = test::run(openssl, {"enc", "-aes-128-cbc", "-K", key->key().toHex(), "-iv",
                                                   QString(32, '0')}, plain);
        ASSERT_EQ(reference.exitCode, 0);
        EXPECT_TRUE(test::readAll(enc) == reference.out);
        EXPECT_EQ(*cryptData(key->encryptor(), plain), reference.out);

        const CryptResult d = useCryptor(key->decryptor(), enc, dec);
        ASSERT_TRUE(d.ok) << d.error.toStdString();
        EXPECT_EQ(d.bytesWritten, size);
        EXPECT_TRUE(test::readAll(dec) == plain);
        EXPECT_TRUE(decipheredEquals(key->decryptor(), enc, in));
        EXPECT_TRUE(decipheredEquals(key->decryptor(), enc, QByteArrayView(plain)));
    }
}

TEST(Cipher, ComparisonNoticesAnyDifference)
{
    Scratch s;
    auto key = DatabaseKey::fromPassword(QStringLiteral("password"));
    const QByteArray plain = pattern(70000);
    ASSERT_TRUE(test::writeAll(s.file("plain"), plain));
    ASSERT_TRUE(useCryptor(key->encryptor(), s.file("plain"), s.file("enc")).ok);

    QByteArray flipped = plain;
    flipped[50000] = char(flipped[50000] ^ 1);
    const QByteArray variants[] = {flipped, plain.left(plain.size() - 1), plain + 'x', QByteArray()};
    for (const QByteArray& other : variants) {
        ASSERT_TRUE(test::writeAll(s.file("other"), other));
        EXPECT_FALSE(decipheredEquals(key->decryptor(), s.file("enc"), s.file("other"))) << other.size();
        EXPECT_FALSE(decipheredEquals(key->decryptor(), s.file("enc"), QByteArrayView(other))) << other.size();
    }
    auto wrong = DatabaseKey::fromPassword(QStringLiteral("wrong"));
    EXPECT_FALSE(decipheredEquals(wrong->decryptor(), s.file("enc"), s.file("plain")));
}

TEST(Cipher, FailedRunsLeaveNoOutputAndSayWhy)
{
    Scratch s;
    auto key = DatabaseKey::fromPassword(QStringLiteral("password"));
    auto wrong = DatabaseKey::fromPassword(QStringLiteral("not it"));
    ASSERT_TRUE(test::writeAll(s.file("plain"), pattern(1000)));
    ASSERT_TRUE(useCryptor(key->encryptor(), s.file("plain"), s.file("enc")).ok);

    // Wrong key: the padding check fails at the end, after output was written.
    CryptResult r = useCryptor(wrong->decryptor(), s.file("enc"), s.file("out"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.bytesWritten, 0);
    EXPECT_TRUE(r.error.startsWith("Decryption error with cryptor")) << r.error.toStdString();
    EXPECT_FALSE(fs::exists(s.file("out")));

    // Missing input, an output that exists already, a FIFO as input, a disk that refuses.
    r = useCryptor(key->encryptor(), s.file("missing"), s.file("out"));
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.error.startsWith("Encryption error with input stream")) << r.error.toStdString();
    ASSERT_TRUE(test::writeAll(s.file("taken"), "keep me"));
    EXPECT_FALSE(useCryptor(key->encryptor(), s.file("plain"), s.file("taken")).ok);
    EXPECT_EQ(test::readAll(s.file("taken")), QByteArray("keep me"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(s.file("fifo")).constData(), 0600), 0);
    EXPECT_FALSE(useCryptor(key->encryptor(), s.file("fifo"), s.file("out")).ok);
    {
        fs::ScopedFault fault([](fs::Op op, const QString&) { return op == fs::Op::Write; });
        r = useCryptor(key->encryptor(), s.file("plain"), s.file("out"));
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.error.startsWith("Encryption error with output stream")) << r.error.toStdString();
    }
    EXPECT_FALSE(fs::exists(s.file("out")));
    // And the cipher objects still work afterwards.
    EXPECT_TRUE(useCryptor(key->decryptor(), s.file("enc"), s.file("out")).ok);
    EXPECT_TRUE(decipheredEquals(key->decryptor(), s.file("enc"), s.file("out")));
}
