// Where the service's readable log lines go: standard output by default, a list in
// the tests. One event per line.
#pragma once

#include <QString>

#include <functional>

namespace tallyro::service {

using LogSink = std::function<void(const QString& line)>;

// Writes "HH:mm:ss.zzz <line>" to standard output and flushes, so that a process
// reading the output through a pipe sees each line when it happens.
LogSink stdoutLog();

// Text of a datagram or query for a log line: control characters (C0, DEL and C1)
// and the backslash become \xNN, line separators and direction overrides \uNNNN, so
// one event stays on one line and reads as it was sent: a "\x0a" that was sent as
// text shows as "\x5cx0a".
QString printable(const QString& text);
// The same, cut after `length` characters with the full length said.
QString printable(const QString& text, qsizetype length);

}  // namespace tallyro::service
