#pragma once

#include <QString>
#include <optional>

// The log-in credentials as table Other keeps them: the user name as typed, the password as an
// Argon2id hash. Comparisons are exact (letter case and blanks count) and a Null field (nothing
// stored) matches nothing, not even an empty entry.
namespace Credentials {

// An Argon2id hash string of the password (interactive limits), ready to store in Password.
// Throws std::runtime_error when the hash cannot be made (out of memory).
QString hashPassword(const QString& password);

// Whether a stored Password is a hash this program made, rather than text written by other
// means. A hash is far longer than the 10 characters the password box takes.
bool isPasswordHash(const QString& stored);

// The stored Username against what was typed.
bool userNameMatches(const std::optional<QString>& stored, const QString& typed);

struct PasswordCheck {
    bool matches = false;
    // The stored value was plain text and matched: it should now be replaced by a hash.
    bool storedInClear = false;
};

// The stored Password (a hash, or plain text from an older file) against what was typed.
PasswordCheck checkPassword(const std::optional<QString>& stored, const QString& typed);

} // namespace Credentials
