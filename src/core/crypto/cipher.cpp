#include "crypto/cipher.h"

#include "util/fdio.h"
#include "util/fs.h"

#include <QFile>

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace folivo::crypto {

namespace {

const unsigned char Salt[] = {'d', 'u', 'n', 'e', 'M', 'o', 's', 's'};
constexpr int Rounds = 1000;
const unsigned char ZeroIv[BlockLength] = {};

// Large enough that a cipher run costs about what the cipher itself costs.
constexpr qsizetype ChunkBytes = qsizetype(256) << 10;

void initSecureHeap()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // A small locked heap is plenty: it holds only keys. When it cannot be had (no
        // mlock allowance), OPENSSL_secure_malloc falls back to the ordinary heap and the
        // key is still wiped when freed.
        if (!CRYPTO_secure_malloc_initialized())
            CRYPTO_secure_malloc_init(1 << 16, 16);
    });
}

int openRegularForReading(const QString& path)
{
    // O_NONBLOCK: a FIFO planted where a file should be must not hang the program.
    // Inside a package nothing is read through a link.
    const int fd = fs::openFile(path, O_RDONLY | O_NONBLOCK, 0, "Read");
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

} // namespace

QByteArray passwordBytes(const QString& password)
{
    QByteArray utf8 = password.toUtf8();
    utf8.truncate(std::min<qsizetype>(utf8.size(), password.size()));
    return utf8;
}

// ---------------------------------------------------------------------------------------

SecureKey::SecureKey()
{
    initSecureHeap();
    bytes_ = static_cast<unsigned char*>(OPENSSL_secure_zalloc(KeyLength));
}

SecureKey::~SecureKey()
{
    if (bytes_)
        OPENSSL_secure_clear_free(bytes_, KeyLength);
}

SecureKey::SecureKey(SecureKey&& other) noexcept : bytes_(other.bytes_)
{
    other.bytes_ = nullptr;
}

SecureKey& SecureKey::operator=(SecureKey&& other) noexcept
{
    if (this != &other) {
        if (bytes_)
            OPENSSL_secure_clear_free(bytes_, KeyLength);
        bytes_ = other.bytes_;
        other.bytes_ = nullptr;
    }
    return *this;
}

std::optional<SecureKey> SecureKey::derive(const QString& password)
{
    SecureKey key;
    if (!key.bytes_)
        return std::nullopt;
    QByteArray input = passwordBytes(password);
    const int ok = PKCS5_PBKDF2_HMAC(input.constData(), int(input.size()), Salt, int(sizeof Salt), Rounds, EVP_sha1(),
                                     KeyLength, key.bytes_);
    // The cut leaves the rest of the UTF-8 text in the same buffer: wipe all of it.
    if (input.capacity() > 0)
        OPENSSL_cleanse(input.data(), size_t(input.capacity()));
    if (ok != 1)
        return std::nullopt;
    return key;
}

bool SecureKey::sameAs(const SecureKey& other) const
{
    return bytes_ && other.bytes_ && CRYPTO_memcmp(bytes_, other.bytes_, KeyLength) == 0;
}

QByteArray SecureKey::toHex() const
{
    return bytes_ ? QByteArray(reinterpret_cast<const char*>(bytes_), KeyLength).toHex() : QByteArray();
}

// ---------------------------------------------------------------------------------------

Cipher::Cipher(const SecureKey& key, Direction direction) : direction_(direction)
{
    ctx_ = EVP_CIPHER_CTX_new();
    if (!ctx_ || !key.data()
        || EVP_CipherInit_ex(ctx_, EVP_aes_128_cbc(), nullptr, key.data(), ZeroIv,
                             direction == Direction::Encrypt ? 1 : 0) != 1) {
        EVP_CIPHER_CTX_free(ctx_);
        ctx_ = nullptr;
    }
}

Cipher::~Cipher()
{
    EVP_CIPHER_CTX_free(ctx_); // wipes the key schedule
}

QString Cipher::directionWord() const
{
    return direction_ == Direction::Encrypt ? QStringLiteral("Encryption") : QStringLiteral("Decryption");
}

bool Cipher::reset()
{
    return ctx_ && EVP_CipherInit_ex(ctx_, nullptr, nullptr, nullptr, ZeroIv, -1) == 1;
}

bool Cipher::update(const unsigned char* in, int length, unsigned char* out, int* written)
{
    return ctx_ && EVP_CipherUpdate(ctx_, out, written, in, length) == 1;
}

bool Cipher::finish(unsigned char* out, int* written)
{
    return ctx_ && EVP_CipherFinal_ex(ctx_, out, written) == 1;
}

// ---------------------------------------------------------------------------------------

CryptResult useCryptor(Cipher& cipher, const QString& input, const QString& output, unsigned mode)
{
    CryptResult result;
    const QString word = cipher.directionWord();
    auto failWith = [&](const QString& what, const QString& path, int err) {
        fs::recordFailure(word == QLatin1String("Encryption") ? "Encrypt" : "Decrypt", path, err);
        result.ok = false;
        result.error = QStringLiteral("%1 error with %2: %3").arg(word, what, fs::lastError());
        return result;
    };
    if (!cipher.reset())
        return failWith(QStringLiteral("cryptor"), input, EINVAL);

    fdio::Fd in(openRegularForReading(input));
    if (in.fd < 0)
        return failWith(QStringLiteral("input stream"), input, errno);
    if (fs::faultInjected(fs::Op::Write, output, "Write"))
        return failWith(QStringLiteral("output stream"), output, EIO);
    fdio::Fd out(fs::openFile(output, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, unsigned(mode), "Write"));
    if (out.fd < 0)
        return failWith(QStringLiteral("output stream"), output, errno);

    std::vector<unsigned char> inBuffer(static_cast<size_t>(ChunkBytes));
    std::vector<unsigned char> outBuffer(size_t(ChunkBytes + BlockLength));
    bool ok = true;
    for (;;) {
        const qint64 n = fdio::readFull(in.fd, inBuffer.data(), ChunkBytes);
        if (n < 0) {
            failWith(QStringLiteral("input stream"), input, errno);
            ok = false;
            break;
        }
        int produced = 0;
        if (n > 0 && !cipher.update(inBuffer.data(), int(n), outBuffer.data(), &produced)) {
            failWith(QStringLiteral("cryptor"), input, EBADMSG);
            ok = false;
            break;
        }
        if (produced > 0 && !fdio::writeFull(out.fd, outBuffer.data(), produced)) {
            failWith(QStringLiteral("output stream"), output, errno);
            ok = false;
            break;
        }
        result.bytesWritten += produced;
        if (n < ChunkBytes) {
            // The end of the file: readFull only stops short there.
            int last = 0;
            if (!cipher.finish(outBuffer.data(), &last)) {
                failWith(QStringLiteral("cryptor"), input, EBADMSG);
                ok = false;
            } else if (last > 0 && !fdio::writeFull(out.fd, outBuffer.data(), last)) {
                failWith(QStringLiteral("output stream"), output, errno);
                ok = false;
            } else {
                result.bytesWritten += last;
            }
            break;
        }
    }
    if (ok && ::fdatasync(out.fd) != 0) {
        failWith(QStringLiteral("output stream"), output, errno);
        ok = false;
    }
    if (::close(out.fd) != 0 && ok) {
        failWith(QStringLiteral("output stream"), output, errno);
        ok = false;
    }
    out.fd = -1;
    cipher.reset();
    if (!ok) {
        fs::removeFile(output);
        result.bytesWritten = 0;
        return result;
    }
    result.ok = true;
    return result;
}

std::optional<QByteArray> cryptData(Cipher& cipher, QByteArrayView input)
{
    if (!cipher.reset())
        return std::nullopt;
    QByteArray out;
    out.resize(input.size() + BlockLength);
    auto* dst = reinterpret_cast<unsigned char*>(out.data());
    const auto* src = reinterpret_cast<const unsigned char*>(input.data());
    qint64 total = 0;
    bool ok = true;
    // The cipher library counts in int: feed large inputs in pieces.
    for (qsizetype done = 0; ok && done < input.size();) {
        const int piece = int(std::min<qsizetype>(input.size() - done, qsizetype(1) << 30));
        int produced = 0;
        ok = cipher.update(src + done, piece, dst + total, &produced);
        total += produced;
        done += piece;
    }
    int last = 0;
    ok = ok && cipher.finish(dst + total, &last);
    total += last;
    cipher.reset();
    if (!ok) {
        OPENSSL_cleanse(out.data(), size_t(out.size()));
        return std::nullopt;
    }
    out.truncate(qsizetype(total));
    return out;
}

namespace {

// Deciphers `enciphered` and hands each piece of plain text to `take`, which answers
// whether to go on. False when reading, the cipher or `take` failed.
template <typename Take>
bool decipherStream(Cipher& decryptor, const QString& enciphered, Take take)
{
    if (!decryptor.reset())
        return false;
    fdio::Fd in(openRegularForReading(enciphered));
    if (in.fd < 0)
        return false;
    std::vector<unsigned char> inBuffer(static_cast<size_t>(ChunkBytes));
    std::vector<unsigned char> outBuffer(size_t(ChunkBytes + BlockLength));
    bool ok = true;
    for (;;) {
        const qint64 n = fdio::readFull(in.fd, inBuffer.data(), ChunkBytes);
        int produced = 0;
        if (n < 0 || (n > 0 && !decryptor.update(inBuffer.data(), int(n), outBuffer.data(), &produced))
            || !take(outBuffer.data(), produced)) {
            ok = false;
            break;
        }
        if (n < ChunkBytes) {
            int last = 0;
            ok = decryptor.finish(outBuffer.data(), &last) && take(outBuffer.data(), last);
            break;
        }
    }
    decryptor.reset();
    return ok;
}

} // namespace

bool decipherFile(Cipher& decryptor, const QString& enciphered,
                  const std::function<bool(const char* data, qsizetype size)>& sink)
{
    return decipherStream(decryptor, enciphered, [&](const unsigned char* data, int size) {
        return size == 0 || sink(reinterpret_cast<const char*>(data), size);
    });
}

bool decipheredEquals(Cipher& decryptor, const QString& enciphered, const QString& plain)
{
    fdio::Fd p(openRegularForReading(plain));
    if (p.fd < 0)
        return false;
    std::vector<unsigned char> expected(size_t(ChunkBytes + BlockLength));
    const bool same = decipherStream(decryptor, enciphered, [&](const unsigned char* data, int size) {
        return size == 0 || (fdio::readFull(p.fd, expected.data(), size) == size && std::memcmp(expected.data(), data, size_t(size)) == 0);
    });
    unsigned char extra = 0;
    return same && fdio::readFull(p.fd, &extra, 1) == 0;
}

bool decipheredEquals(Cipher& decryptor, const QString& enciphered, QByteArrayView plain)
{
    qsizetype at = 0;
    const bool same = decipherStream(decryptor, enciphered, [&](const unsigned char* data, int size) {
        if (size > plain.size() - at || std::memcmp(plain.data() + at, data, size_t(size)) != 0)
            return false;
        at += size;
        return true;
    });
    return same && at == plain.size();
}

// ---------------------------------------------------------------------------------------

DatabaseKey::DatabaseKey(SecureKey key)
    : key_(std::move(key)), encryptor_(key_, Direction::Encrypt), decryptor_(key_, Direction::Decrypt)
{
}

std::unique_ptr<DatabaseKey> DatabaseKey::fromKey(SecureKey key)
{
    auto k = std::make_unique<DatabaseKey>(std::move(key));
    if (!k->encryptor_.valid() || !k->decryptor_.valid())
        return nullptr;
    return k;
}

std::unique_ptr<DatabaseKey> DatabaseKey::fromPassword(const QString& password)
{
    auto key = SecureKey::derive(password);
    if (!key)
        return nullptr;
    return fromKey(std::move(*key));
}

} // namespace folivo::crypto
