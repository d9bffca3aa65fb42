#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <memory>
#include <optional>

// The program's cryptography, all of it from libsodium: the password hash kept in the settings
// record, the key derived from the user name and password, and the sealing of texts with that key
// (XChaCha20-Poly1305, authenticated). No secret of it is ever written to a file, a log or a message.
namespace vault {

// The Argon2id limits of the password hash and of the key derivation: libsodium's interactive
// limits (2 passes over 64 MiB).
struct Limits {
    unsigned long long ops;
    size_t memory;
};
Limits derivationLimits();

// A 256-bit key in guarded memory: locked in RAM so it is never swapped out, fenced by guard
// pages, read-only while it lives and wiped when it goes.
class Key {
public:
    ~Key();
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    // Argon2id of the user name and the password together, with this salt. Throws
    // std::runtime_error when there is not enough memory for the derivation.
    static std::unique_ptr<Key> derive(const QString& username, const QString& password, QByteArrayView salt);

private:
    Key();
    friend QString seal(const Key&, const QString&, QByteArrayView);
    friend std::optional<QString> open(const Key&, QStringView, QByteArrayView);
    unsigned char* m_bytes = nullptr;
};

// An Argon2id hash string of the password (a random salt of its own inside), ready to store.
// Throws std::runtime_error when it cannot be made (out of memory).
QString hashPassword(const QString& password);
// Whether a stored password is a hash this program made, rather than text written by other means.
bool isPasswordHash(const QString& stored);
// Whether the hash was made from this password.
bool verifyPassword(const QString& hash, const QString& password);

// The salt of the key that goes with a stored hash: random, since the hash's own salt is, and new
// with every new hash; it gives nothing of the key without the password.
QByteArray keySalt(const QString& passwordHash);

// A text sealed with the key as text again: a prefix, then the random nonce and the ciphertext
// with its tag in base64. `context` is bound to it (say, the field it is stored in), so a sealed
// text moved to another place no longer opens.
QString seal(const Key& key, const QString& plain, QByteArrayView context);
// The plain text, or nothing when the text was not sealed with this key and context or was
// changed since (damaged or tampered).
std::optional<QString> open(const Key& key, QStringView sealed, QByteArrayView context);
// Whether a stored text has the form of a sealed one (the prefix).
bool looksSealed(QStringView text);
// The same for a text as the file stores it (UTF-8).
bool looksSealed(QByteArrayView utf8);

} // namespace vault
