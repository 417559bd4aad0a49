// The log of what an outsider can repeat at will (ignored datagrams, refused
// sign-ins, requests and connections): the first event of an interval in full,
// the rest counted and summed up in one line when the interval ends, at the
// next event or by a timer. A flood costs the log a line or two an interval.
#pragma once

#include <QString>
#include <QTimer>
#include <functional>
#include <string>

#include "log_throttle.h"
#include "service_log.h"

namespace tallyro::service {

class ThrottledLog {
public:
    using Clock = std::function<LogThrottle::TimePoint()>;
    // The summary line of an interval that had events not shown.
    using Summarise = std::function<QString(const LogThrottle::Summary&)>;

    // `clock` and `log` are the owner's and outlive this.
    ThrottledLog(LogThrottle::Duration interval, const Clock& clock, const LogSink& log,
                 Summarise summarise);

    // One event of `kind` from `sender`, described by `line` if shown in full.
    void record(const std::string& sender, unsigned kind, const QString& line);
    // Logs the summary once the interval is over; the timer calls it.
    void flush();

private:
    LogThrottle throttle_;
    const Clock& clock_;
    const LogSink& log_;
    Summarise summarise_;
    QTimer timer_;
};

}  // namespace tallyro::service
