// The service's web server.
#include "web_server.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include "account_store.h"
#include "analysis.h"
#include "credentials.h"
#include "market_data.h"
#include "pages.h"
#include "query_text.h"
#include "session_table.h"
#include "stock_list.h"

namespace tallyro::service {

namespace {

namespace Status {
constexpr int Ok = 200;
constexpr int Found = 302;
constexpr int BadRequest = 400;
constexpr int NotFound = 404;
constexpr int MethodNotAllowed = 405;
constexpr int Conflict = 409;
constexpr int InternalServerError = 500;
}  // namespace Status

// Longest path or query shown in a log line, in characters.
constexpr qsizetype kLoggedLength = 300;

HttpResponse html(const QString& page, int status = Status::Ok) {
    HttpResponse response;
    response.status = status;
    response.body = page.toUtf8();
    response.headers.append({QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-store")});
    return response;
}

// A 302 to an answer address, with a page for clients that do not follow it.
HttpResponse redirect(const QByteArray& location) {
    HttpResponse response =
        html(pages::redirectNotice(QString::fromLatin1(location)), Status::Found);
    response.headers.prepend({QByteArrayLiteral("Location"), location});
    return response;
}

// Text from outside for a log line: escaped, and cut where it would run on.
QString logged(const QString& text) {
    return printable(text, kLoggedLength);
}

QString fromStd(const std::string& text) {
    return QString::fromStdString(text);
}

std::string toStd(const QByteArray& bytes) {
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// The answer payload of a /Send... address: everything after "?", up to a second "?".
QString payloadOf(const QByteArray& query) {
    const qsizetype cut = query.indexOf('?');
    const QByteArray raw = cut < 0 ? query : query.left(cut);
    const auto text = queryBytesToText(percentDecode(toStd(raw)));
    return text ? fromStd(*text) : QString();
}

QString positionText(Position position) {
    switch (position) {
        case Position::BelowSupport:
            return QStringLiteral("破支撑");
        case Position::NearSupport:
            return QStringLiteral("近支撑");
        case Position::AbovePressure:
            return QStringLiteral("破压力");
        case Position::NearPressure:
            return QStringLiteral("近压力");
        case Position::Middle:
            break;
    }
    return QStringLiteral("中间");
}

}  // namespace

QByteArray encodedQuery(const QUrl& url) {
    // The server parses the request target leniently: raw characters a URI may not hold
    // ("|", "<", UTF-8 text) come back percent-encoded, "%XX" sent by the client stays as
    // it was (or is normalised to the same byte), and "&" and "=" stay literal. So
    // splitting this form at "&" and then decoding each value once gives the client's
    // bytes. Raw bytes that are not UTF-8 are replaced by U+FFFD while parsing and cannot
    // be recovered; percent-encoded ones reach the GBK fallback.
    return url.query(QUrl::FullyEncoded).toLatin1();
}

WebServer::WebServer(AccountStore& accounts, const SessionTable& sessions, const MarketData& market,
                     const StockList& stocks, LogSink log, QObject* parent)
    : QObject(parent),
      accounts_(accounts),
      sessions_(sessions),
      market_(market),
      stocks_(stocks),
      log_(log),
      clock_([] { return QDateTime::currentDateTime(); }),
      http_([this](const HttpRequest& request) { return handleRequest(request); }, log) {
    http_.setErrorPage([](int status) {
        return status == 413 ? html(pages::bodyTooLarge(), status)
                             : html(pages::requestRefused(status, QString::fromLatin1(
                                                                      httpReason(status))),
                                    status);
    });
}

quint16 WebServer::start(const QHostAddress& address, quint16 port, QString* error) {
    webPort_ = http_.listen(address, port);
    if (webPort_ == 0 && error) {
        *error =
            QStringLiteral("cannot listen for HTTP on %1:%2").arg(address.toString()).arg(port);
    }
    return webPort_;
}

HttpResponse WebServer::handleRequest(const HttpRequest& request) {
    const QByteArray query = encodedQuery(request.url);
    QString note;
    HttpResponse response = dispatch(request, query, note);
    // Everything from outside is escaped: a "%0A" in the path must not start a line.
    QString line = QStringLiteral("http %1 %2")
                       .arg(QString::fromLatin1(request.method), logged(request.url.path()));
    if (!query.isEmpty()) {
        line += u'?' + logged(request.url.query(QUrl::PrettyDecoded));
    }
    line += QStringLiteral(" -> %1").arg(response.status);
    if (!note.isEmpty()) {
        line += u' ' + logged(note);
    }
    log_(line);
    return response;
}

HttpResponse WebServer::dispatch(const HttpRequest& request, const QByteArray& query,
                                 QString& note) {
    // Paths are matched without regard to case: .asp addresses are commonly written
    // in any case, and a link that differs only in case should still work.
    const QString path = request.url.path().toLower();
    const QByteArray& method = request.method;
    if (path == u"/reg.asp") {
        if (method == "POST") {
            return registration(request, note);
        }
        if (method == "GET") {
            return html(pages::registrationForm({}, {}));
        }
        return html(pages::methodNotAllowed(), Status::MethodNotAllowed);
    }
    if (method != "GET") {
        return html(pages::methodNotAllowed(), Status::MethodNotAllowed);
    }
    if (path == u"/" || path == u"/index.asp" || path == u"/default.asp") {
        return home();
    }
    if (path == u"/ad.asp") {
        return html(pages::adBanner());
    }
    if (path == u"/question.asp") {
        return html(pages::handbook());
    }
    if (path == u"/computer.asp") {
        return picking();
    }
    if (path == u"/webset.asp") {
        return messagePage(query);
    }
    if (path == u"/businessrepass.asp") {
        return html(pages::passwordRecovery());
    }
    if (path == u"/qelvix.exe") {
        return package();
    }
    if (path == u"/requestgpinfo.asp") {
        return analysisRequest(query, false, note);
    }
    if (path == u"/requestdapan.asp") {
        return analysisRequest(query, true, note);
    }
    if (path == u"/sendgpinfo.asp") {
        return html(pages::stockAnswer(payloadOf(query)));
    }
    if (path == u"/sendgpsignedout.asp") {
        return html(pages::signedOutAnswer());
    }
    if (path == u"/senddapan.asp") {
        return html(pages::indexAnswer(payloadOf(query)));
    }
    return html(pages::notFound(request.url.path()), Status::NotFound);
}

HttpResponse WebServer::analysisRequest(const QByteArray& query, bool index, QString& note) {
    const AnalysisQuery q = parseAnalysisQuery(toStd(query), index ? "DaPan" : "GpID");
    const QString user = q.user ? fromStd(*q.user) : QString();
    if (!q.user || !sessions_.isSignedIn(user)) {
        // The client has no time-out: it waits until it sees an answer address, so a
        // bare refusal would leave it waiting for good. It gets a stock error answer
        // instead, which it shows as "股票停盘或服务器忙碌". Index requests get the same
        // one: an index answer has no error codes (the client would read any payload
        // under "/SendD" as levels), an error page ends the wait only in clients that
        // treat every finished page as the end, and a stock error code is understood by
        // all of them. The page at that address tells a reader why.
        note = QStringLiteral("refused: %1 is not signed in").arg(q.user ? user : "no UserID");
        return redirect(QByteArray(kSignedOutAnswer));
    }
    const QDateTime now = clock_();
    const std::string date = now.toString(QStringLiteral("yyyy-MM-dd")).toStdString();
    const std::string time = now.toString(QStringLiteral("HH:mm:ss")).toStdString();
    const std::string subject = q.subject.value_or(std::string());
    const AnalysisOutcome outcome = index ? market_.analyseIndex(subject, date, time)
                                          : market_.analyseStock(subject, date, time);
    std::string payload;
    if (outcome.report) {
        payload = index ? indexPayload(*outcome.report) : stockPayload(*outcome.report);
    } else {
        payload = outcome.error == AnalysisError::UnknownCode ? kErrUnknownCode : kErrCannotCompute;
        note = QStringLiteral("(%1: %2) ").arg(fromStd(subject), fromStd(outcome.detail));
    }
    const QByteArray location = QByteArray(index ? "/SendDaPan.asp?" : "/SendGpInfo.asp?") +
                                QByteArray::fromStdString(encodeForLocation(payload));
    note += QStringLiteral("answer %1").arg(fromStd(payload).left(160));
    return redirect(location);
}

HttpResponse WebServer::registration(const HttpRequest& request, QString& note) {
    // The server refused a longer body before reading it (HttpLimits::head.body).
    const auto fields = parseFormBody(toStd(request.body));
    const auto field = [&](const char* key) {
        const auto it = fields.find(key);
        return it == fields.end() ? QString() : fromStd(it->second);
    };
    const QString name = field("name");
    const QString password = field("password");
    const QString again = fields.count("password2") ? field("password2") : password;

    QString problem = accountNameProblem(name);
    if (problem.isEmpty()) {
        problem = passwordProblem(password);
    }
    if (problem.isEmpty() && password != again) {
        problem = QStringLiteral("两次输入的密码不一致。");
    }
    if (!problem.isEmpty()) {
        note = QStringLiteral("registration refused: ") + problem;
        return html(pages::registrationForm(name, problem), Status::BadRequest);
    }
    const auto digest = passwordDigest(password);
    switch (accounts_.addAccount(name.toStdString(), digest->toStdString())) {
        case AccountStore::AddResult::Added:
            note = QStringLiteral("account %1 registered").arg(name);
            return html(pages::registrationDone(name));
        case AccountStore::AddResult::NameTaken:
            note = QStringLiteral("registration refused: %1 is taken").arg(name);
            return html(pages::registrationForm(
                            name, QStringLiteral("帐号“%1”已经被注册，请换一个。").arg(name)),
                        Status::Conflict);
        case AccountStore::AddResult::Failed:
            break;
    }
    note = QStringLiteral("registration failed: ") + fromStd(accounts_.lastError());
    return html(pages::registrationForm(name, QStringLiteral("服务暂时无法保存帐号，请稍后再试。")),
                Status::InternalServerError);
}

HttpResponse WebServer::messagePage(const QByteArray& query) {
    QString requested;
    for (const QByteArray& pair : query.split('&')) {
        if (pair.left(6).compare("MsgID=", Qt::CaseInsensitive) == 0) {
            const auto text = queryBytesToText(percentDecode(toStd(pair.mid(6))));
            requested = text ? fromStd(*text).trimmed() : QString();
            break;
        }
    }
    bool ok = false;
    const qint64 id = requested.toLongLong(&ok);
    const bool digitsOnly =
        std::all_of(requested.cbegin(), requested.cend(), [](QChar c) { return c.isDigit(); });
    if (ok && digitsOnly) {
        if (const auto msg = accounts_.message(id)) {
            // Stored in UTC; shown in the service's local time, to the minute.
            const QDateTime created = QDateTime::fromString(fromStd(msg->created), Qt::ISODate);
            const QString shown =
                created.isValid()
                    ? created.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                    : fromStd(msg->created);
            return html(pages::message(msg->id, fromStd(msg->title), fromStd(msg->body), shown));
        }
    }
    return html(pages::messageNotFound(requested), Status::NotFound);
}

HttpResponse WebServer::package() {
    auto file = std::make_shared<QFile>(packagePath_);
    if (packagePath_.isEmpty() || !QFileInfo(*file).isFile() || !file->open(QIODevice::ReadOnly)) {
        return html(pages::packageMissing(), Status::NotFound);
    }
    HttpResponse response;
    response.contentType = QByteArrayLiteral("application/octet-stream");
    response.file = std::move(file);
    response.headers.append({QByteArrayLiteral("Content-Disposition"),
                             QByteArrayLiteral("attachment; filename=\"Qelvix.exe\"")});
    return response;
}

HttpResponse WebServer::home() {
    pages::HomeInfo info;
    info.signedIn = static_cast<int>(sessions_.size());
    info.stocks = static_cast<int>(stocks_.entries().size());
    info.loginPort = loginPort_;
    info.webPort = webPort_;
    const QDir bars(QString::fromStdString((market_.dataDir() / "bars").string()));
    for (const QString& file : bars.entryList({QStringLiteral("*.csv")}, QDir::Files, QDir::Name)) {
        info.sampleCodes.append(file.chopped(4));
    }
    return html(pages::home(info));
}

HttpResponse WebServer::picking() {
    QList<pages::PickRow> rows;
    QList<double> order;  // distance to support; rows without levels go last
    for (const std::string& code : market_.watchlist()) {
        pages::PickRow row;
        row.code = fromStd(code);
        const StockEntry* entry = stocks_.find(code);
        row.name = entry ? fromStd(entry->name) : row.code;
        const Series series = market_.series(code, SeriesKind::Stock);
        row.demo = series.demo;
        const auto levels = series.error.empty() ? computeLevels(series.bars) : std::nullopt;
        double key = 1e9;
        if (!levels) {
            row.problem = QStringLiteral("行情不足，无法计算");
        } else {
            const Report r = buildReport(entry ? entry->name : code, {}, {}, *levels, false,
                                         market_.isSuspended(code), series.demo);
            row.close = fromStd(formatFixed(r.levels.close, 2));
            row.pressure = fromStd(formatFixed(r.levels.pressure, 2));
            row.pressurePercent = fromStd(formatFixed(r.pressurePercent, 2));
            row.support = fromStd(formatFixed(r.levels.support, 2));
            row.supportPercent = fromStd(formatFixed(r.supportPercent, 2));
            row.position = positionText(positionBetween(r.levels));
            row.aboveAverage = r.levels.close > r.levels.ma20;
            row.suspended = r.suspended;
            key = r.suspended ? 1e8 : r.supportPercent;
        }
        const auto at = std::upper_bound(order.begin(), order.end(), key) - order.begin();
        order.insert(at, key);
        rows.insert(at, row);
    }
    return html(pages::picking(rows, clock_().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
}

}  // namespace tallyro::service
