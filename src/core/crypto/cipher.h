#pragma once
// The database key and the two cipher objects an encrypted database uses for every stored
// file: AES-128-CBC with PKCS#7 padding, a zero initialisation vector for each file, and a
// key derived from the password by PBKDF2-HMAC-SHA1 (1000 rounds, the fixed salt
// "duneMoss"). Databases written by the macOS edition depend on exactly these bytes.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

struct evp_cipher_ctx_st;

namespace folivo::crypto {

constexpr int KeyLength = 16;
constexpr int BlockLength = 16;

// The bytes the key is derived from: the password's UTF-8 encoding cut to as many bytes as
// the password has UTF-16 code units. For a password outside ASCII this is a prefix of its
// UTF-8 bytes; existing databases were encrypted with exactly that input.
QByteArray passwordBytes(const QString& password);

// A 16-byte key in memory from the secure heap, wiped when it goes.
class SecureKey {
public:
    // The key for `password`; nullopt only when memory or the derivation failed.
    static std::optional<SecureKey> derive(const QString& password);

    SecureKey(SecureKey&& other) noexcept;
    SecureKey& operator=(SecureKey&& other) noexcept;
    SecureKey(const SecureKey&) = delete;
    SecureKey& operator=(const SecureKey&) = delete;
    ~SecureKey();

    const unsigned char* data() const { return bytes_; }
    // Constant-time comparison, for telling whether a typed password is the database's.
    bool sameAs(const SecureKey& other) const;
    QByteArray toHex() const; // for tests and vectors only

private:
    SecureKey();
    unsigned char* bytes_ = nullptr;
};

enum class Direction { Encrypt, Decrypt };

// One cipher object: the key schedule is set up once; every run starts from a zero vector.
class Cipher {
public:
    Cipher(const SecureKey& key, Direction direction);
    ~Cipher();
    Cipher(const Cipher&) = delete;
    Cipher& operator=(const Cipher&) = delete;

    bool valid() const { return ctx_ != nullptr; }
    Direction direction() const { return direction_; }
    // "Encryption" or "Decryption", for log lines.
    QString directionWord() const;

    // Starts a new run from the zero vector. False when the cipher library refused.
    bool reset();
    // Appends the output for `in` to `out`; false on a cipher error.
    bool update(const unsigned char* in, int length, unsigned char* out, int* written);
    // Ends the run (padding; a wrong key shows here when deciphering).
    bool finish(unsigned char* out, int* written);

private:
    evp_cipher_ctx_st* ctx_ = nullptr;
    Direction direction_;
};

// What one run through a cipher did. A run that produced no bytes is still a success when
// it succeeded: a 0-byte file enciphers to one padding block and deciphers back to nothing.
struct CryptResult {
    bool ok = false;
    qint64 bytesWritten = 0;
    QString error;
    explicit operator bool() const { return ok; }
};

// Streams the file `input` through `cipher` into `output`, which is created new (an
// existing file there is an error: callers write to a fresh sibling and rename it into
// place). Large buffers, allocated per call, so calls for different databases never share
// state. On failure the partial output is removed.
CryptResult useCryptor(Cipher& cipher, const QString& input, const QString& output, unsigned mode = 0644);

// The same over bytes in memory; nullopt on a cipher error (a wrong key when deciphering).
std::optional<QByteArray> cryptData(Cipher& cipher, QByteArrayView input);

// Deciphers the file `enciphered` piece by piece into `sink`, which answers whether to go on;
// nothing is held whole in memory. False when reading, the cipher or the sink failed (the
// sink may then have been given text that a wrong key produced: only trust it on true).
bool decipherFile(Cipher& decryptor, const QString& enciphered,
                  const std::function<bool(const char* data, qsizetype size)>& sink);

// Whether deciphering the file `enciphered` gives exactly the content of the file `plain`,
// compared as both stream; nothing is written.
bool decipheredEquals(Cipher& decryptor, const QString& enciphered, const QString& plain);
// Whether deciphering the file `enciphered` gives exactly `plain`.
bool decipheredEquals(Cipher& decryptor, const QString& enciphered, QByteArrayView plain);

// The key of one open encrypted database and its two cipher objects.
class DatabaseKey {
public:
    static std::unique_ptr<DatabaseKey> fromPassword(const QString& password);
    static std::unique_ptr<DatabaseKey> fromKey(SecureKey key);

    const SecureKey& key() const { return key_; }
    Cipher& encryptor() { return encryptor_; }
    Cipher& decryptor() { return decryptor_; }

    explicit DatabaseKey(SecureKey key);

private:
    SecureKey key_;
    Cipher encryptor_;
    Cipher decryptor_;
};

} // namespace folivo::crypto
