// Rules for account names and passwords, and the password digest the client sends:
// MD5 of the password's GBK bytes in 32 upper-case hexadecimal digits.
#pragma once

#include <QString>

#include <optional>

namespace tallyro::service {

inline constexpr int kMaxNameLength = 20;
inline constexpr int kMinPasswordLength = 6;
inline constexpr int kMaxPasswordLength = 64;

// Empty when the name can be an account name, otherwise the reason in Chinese. A name
// is 1 to 20 characters, without "|" (it would split the login datagram), without
// control characters, and every character must have a GBK code (the datagrams are GBK).
QString accountNameProblem(const QString& name);
// Same for a password: 6 to 64 characters, GBK, no control characters. Accounts made or
// changed here never get a shorter one; the digest of one set before is still taken.
QString passwordProblem(const QString& password);

// Nothing when the password has a character without a GBK code.
std::optional<QString> passwordDigest(const QString& password);

struct NameAndPassword {
    QString name;
    QString password;
};
// "NAME:PASSWORD" as given on the command line, split at the first ":" (so a password
// may hold ":", a name given this way may not). Nothing without a ":".
std::optional<NameAndPassword> splitNameAndPassword(const QString& text);

}  // namespace tallyro::service
