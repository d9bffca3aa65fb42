#include "vault/Vault.h"

#include <cstring>
#include <sodium.h>
#include <stdexcept>

namespace vault {

namespace {

// Sealed texts start with this; base64 never holds '$', so a prefix cannot run into the rest.
constexpr QLatin1StringView SealPrefix("$sealed1$");
constexpr int NonceBytes = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr int TagBytes = crypto_aead_xchacha20poly1305_ietf_ABYTES;
constexpr int KeyBytes = crypto_aead_xchacha20poly1305_ietf_KEYBYTES;
// The longest password the password boxes take; nothing this short can be one of our hashes.
constexpr int MaxTypedPassword = 10;
constexpr auto Base64 = QByteArray::Base64Encoding | QByteArray::OmitTrailingEquals;

void ensureReady()
{
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        throw std::runtime_error("The encryption library could not be started.");
}

// Bytes that hold a secret for a moment: guarded like the key and wiped when they go.
class SecretBytes {
public:
    explicit SecretBytes(size_t size)
        : m_size(size), m_data(static_cast<unsigned char*>(sodium_malloc(size ? size : 1)))
    {
        if (!m_data)
            throw std::runtime_error("There is not enough memory to protect the links.");
    }
    ~SecretBytes() { sodium_free(m_data); }
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;
    unsigned char* data() { return m_data; }
    size_t size() const { return m_size; }

private:
    size_t m_size;
    unsigned char* m_data;
};

// Copies bytes into secret bytes and wipes where they came from.
void moveInto(SecretBytes& to, size_t& at, QByteArray& bytes)
{
    std::memcpy(to.data() + at, bytes.constData(), size_t(bytes.size()));
    at += size_t(bytes.size());
    sodium_memzero(bytes.data(), size_t(bytes.size()));
}

} // namespace

Limits derivationLimits()
{
    return {crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE};
}

Key::Key()
{
    ensureReady();
    m_bytes = static_cast<unsigned char*>(sodium_malloc(KeyBytes));
    if (!m_bytes)
        throw std::runtime_error("There is not enough memory to protect the links.");
}

Key::~Key()
{
    sodium_free(m_bytes); // wipes before it lets go
}

std::unique_ptr<Key> Key::derive(const QString& username, const QString& password, QByteArrayView salt)
{
    if (salt.size() != crypto_pwhash_SALTBYTES)
        throw std::runtime_error("The key salt has the wrong size.");
    std::unique_ptr<Key> key(new Key);
    QByteArray user = username.toUtf8();
    QByteArray secret = password.toUtf8();
    // The user name's length first, so that no other pair of texts gives the same input.
    SecretBytes input(4 + size_t(user.size()) + size_t(secret.size()));
    for (int i = 0; i < 4; ++i)
        input.data()[i] = static_cast<unsigned char>(quint32(user.size()) >> (8 * i));
    size_t at = 4;
    moveInto(input, at, user);
    moveInto(input, at, secret);
    const Limits limits = derivationLimits();
    if (crypto_pwhash(key->m_bytes, KeyBytes, reinterpret_cast<const char*>(input.data()), input.size(),
                      reinterpret_cast<const unsigned char*>(salt.data()), limits.ops, limits.memory,
                      crypto_pwhash_ALG_ARGON2ID13) != 0)
        throw std::runtime_error("There is not enough memory to protect the links.");
    sodium_mprotect_readonly(key->m_bytes);
    return key;
}

QString hashPassword(const QString& password)
{
    ensureReady();
    QByteArray bytes = password.toUtf8();
    char hashed[crypto_pwhash_STRBYTES];
    const Limits limits = derivationLimits();
    const int rc = crypto_pwhash_str(hashed, bytes.constData(), static_cast<unsigned long long>(bytes.size()),
                                     limits.ops, limits.memory);
    sodium_memzero(bytes.data(), size_t(bytes.size()));
    if (rc != 0)
        throw std::runtime_error("There is not enough memory to protect the password.");
    return QString::fromLatin1(hashed);
}

bool isPasswordHash(const QString& stored)
{
    return stored.size() > MaxTypedPassword && stored.startsWith(QLatin1String(crypto_pwhash_argon2id_STRPREFIX));
}

bool verifyPassword(const QString& hash, const QString& password)
{
    ensureReady();
    const QByteArray stored = hash.toLatin1();
    QByteArray bytes = password.toUtf8();
    const bool same = crypto_pwhash_str_verify(stored.constData(), bytes.constData(),
                                               static_cast<unsigned long long>(bytes.size())) == 0;
    sodium_memzero(bytes.data(), size_t(bytes.size()));
    return same;
}

QByteArray keySalt(const QString& passwordHash)
{
    ensureReady();
    static constexpr char Purpose[] = "orvane tessary: the salt of the links key";
    const QByteArray hash = passwordHash.toUtf8();
    QByteArray salt(crypto_pwhash_SALTBYTES, Qt::Uninitialized);
    crypto_generichash(reinterpret_cast<unsigned char*>(salt.data()), size_t(salt.size()),
                       reinterpret_cast<const unsigned char*>(hash.constData()), size_t(hash.size()),
                       reinterpret_cast<const unsigned char*>(Purpose), sizeof Purpose - 1);
    return salt;
}

QString seal(const Key& key, const QString& plain, QByteArrayView context)
{
    const QByteArray text = plain.toUtf8();
    QByteArray out(NonceBytes + text.size() + TagBytes, Qt::Uninitialized);
    auto* nonce = reinterpret_cast<unsigned char*>(out.data());
    randombytes_buf(nonce, NonceBytes);
    unsigned long long written = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(
        nonce + NonceBytes, &written, reinterpret_cast<const unsigned char*>(text.constData()),
        static_cast<unsigned long long>(text.size()), reinterpret_cast<const unsigned char*>(context.data()),
        static_cast<unsigned long long>(context.size()), nullptr, nonce, key.m_bytes);
    return SealPrefix + QString::fromLatin1(out.toBase64(Base64));
}

std::optional<QString> open(const Key& key, QStringView sealed, QByteArrayView context)
{
    if (!looksSealed(sealed))
        return std::nullopt;
    const QByteArray base64 = sealed.mid(SealPrefix.size()).toLatin1();
    const auto result = QByteArray::fromBase64Encoding(base64, Base64 | QByteArray::AbortOnBase64DecodingErrors);
    const QByteArray* decoded = &result.decoded;
    if (!result || decoded->size() < NonceBytes + TagBytes)
        return std::nullopt;
    const auto* nonce = reinterpret_cast<const unsigned char*>(decoded->constData());
    QByteArray text(decoded->size() - NonceBytes - TagBytes, Qt::Uninitialized);
    unsigned long long length = 0;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(
            reinterpret_cast<unsigned char*>(text.data()), &length, nullptr, nonce + NonceBytes,
            static_cast<unsigned long long>(decoded->size() - NonceBytes),
            reinterpret_cast<const unsigned char*>(context.data()),
            static_cast<unsigned long long>(context.size()), nonce, key.m_bytes) != 0)
        return std::nullopt;
    return QString::fromUtf8(text.constData(), qsizetype(length));
}

bool looksSealed(QStringView text)
{
    return text.startsWith(SealPrefix);
}

bool looksSealed(QByteArrayView utf8)
{
    return utf8.startsWith(QByteArrayView(SealPrefix.data(), SealPrefix.size()));
}

} // namespace vault
