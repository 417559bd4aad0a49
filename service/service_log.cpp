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
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace tallyro::service
