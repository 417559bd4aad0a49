// The standard-output log.
#include "service_log.h"

#include <QTime>

#include <cstdio>

namespace tallyro::service {

LogSink stdoutLog() {
    return [](const QString& line) {
        const QByteArray text =
            (QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz ")) + line + u'\n')
                .toUtf8();
        std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stdout);
        std::fflush(stdout);
    };
}

QString printable(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == u'\\') {
            out += QStringLiteral("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0'));
        } else if (u == 0x2028 || u == 0x2029 || (u >= 0x202A && u <= 0x202E) ||
                   (u >= 0x2066 && u <= 0x2069)) {
            // Line and paragraph separators end a line in some viewers; direction
            // overrides make a line read otherwise than it is written.
            out += QStringLiteral("\\u%1").arg(uint(u), 4, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    return out;
}

QString printable(const QString& text, qsizetype length) {
    if (text.size() <= length) {
        return printable(text);
    }
    return printable(text.left(length)) + QStringLiteral("... (%1 characters)").arg(text.size());
}

}  // namespace tallyro::service
