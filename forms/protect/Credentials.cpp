#include "forms/protect/Credentials.h"

#include <sodium.h>
#include <stdexcept>

namespace Credentials {

namespace {

// The longest password the password boxes take; nothing this short can be one of our hashes.
constexpr int MaxTypedPassword = 10;

void ensureSodium()
{
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        throw std::runtime_error("The password library could not be started.");
}

} // namespace

QString hashPassword(const QString& password)
{
    ensureSodium();
    const QByteArray bytes = password.toUtf8();
    char hashed[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(hashed, bytes.constData(), static_cast<unsigned long long>(bytes.size()),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        throw std::runtime_error("There is not enough memory to protect the password.");
    return QString::fromLatin1(hashed);
}

bool isPasswordHash(const QString& stored)
{
    return stored.size() > MaxTypedPassword && stored.startsWith(QLatin1String(crypto_pwhash_argon2id_STRPREFIX));
}

bool userNameMatches(const std::optional<QString>& stored, const QString& typed)
{
    return stored && *stored == typed;
}

PasswordCheck checkPassword(const std::optional<QString>& stored, const QString& typed)
{
    if (!stored)
        return {};
    const QString& text = *stored;
    if (!isPasswordHash(text)) {
        const bool same = text == typed;
        return {same, same};
    }
    ensureSodium();
    const QByteArray hash = text.toLatin1();
    const QByteArray bytes = typed.toUtf8();
    const bool same = crypto_pwhash_str_verify(hash.constData(), bytes.constData(),
                                               static_cast<unsigned long long>(bytes.size())) == 0;
    return {same, false};
}

} // namespace Credentials
