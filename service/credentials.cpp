// Account name and password rules, and the password digest.
#include "credentials.h"

#include <QCryptographicHash>
#include <QList>

#include "gbk.h"

namespace tallyro::service {

namespace {

bool hasControl(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            return true;
        }
    }
    return false;
}

bool isGbk(const QString& text) {
    return utf8ToGbk(text.toStdString()).has_value();
}

qsizetype characterCount(const QString& text) {
    return text.toUcs4().size();
}

}  // namespace

QString accountNameProblem(const QString& name) {
    if (name.isEmpty()) {
        return QStringLiteral("帐号不能为空。");
    }
    if (characterCount(name) > kMaxNameLength) {
        return QStringLiteral("帐号最多%1个字符。").arg(kMaxNameLength);
    }
    if (name.contains(u'|')) {
        return QStringLiteral("帐号不能包含“|”字符。");
    }
    if (hasControl(name)) {
        return QStringLiteral("帐号不能包含控制字符。");
    }
    if (!isGbk(name)) {
        return QStringLiteral("帐号含有客户端无法发送的字符（只能使用GBK字符集中的字符）。");
    }
    return {};
}

QString passwordProblem(const QString& password) {
    if (password.isEmpty()) {
        return QStringLiteral("密码不能为空。");
    }
    if (characterCount(password) < kMinPasswordLength) {
        return QStringLiteral("密码至少%1个字符。").arg(kMinPasswordLength);
    }
    if (characterCount(password) > kMaxPasswordLength) {
        return QStringLiteral("密码最多%1个字符。").arg(kMaxPasswordLength);
    }
    if (hasControl(password)) {
        return QStringLiteral("密码不能包含控制字符。");
    }
    if (!isGbk(password)) {
        return QStringLiteral("密码含有客户端无法输入的字符（只能使用GBK字符集中的字符）。");
    }
    return {};
}

std::optional<QString> passwordDigest(const QString& password) {
    const auto bytes = utf8ToGbk(password.toStdString());
    if (!bytes) {
        return std::nullopt;
    }
    const QByteArray digest = QCryptographicHash::hash(
        QByteArray(bytes->data(), static_cast<qsizetype>(bytes->size())), QCryptographicHash::Md5);
    return QString::fromLatin1(digest.toHex().toUpper());
}

std::optional<NameAndPassword> splitNameAndPassword(const QString& text) {
    const qsizetype colon = text.indexOf(u':');
    if (colon < 0) {
        return std::nullopt;
    }
    return NameAndPassword{text.left(colon), text.mid(colon + 1)};
}

}  // namespace tallyro::service
