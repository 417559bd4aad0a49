// The service's web pages: small UTF-8 HTML documents in Chinese with one shared
// style sheet. Everything put into a page from outside (names, titles, payloads) is
// HTML-escaped here.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace tallyro::service::pages {

QString escape(const QString& text);

struct HomeInfo {
    int signedIn = 0;
    int stocks = 0;
    QStringList sampleCodes;  // codes with a bars file in the data folder
    quint16 loginPort = 0;
    quint16 webPort = 0;
};
QString home(const HomeInfo& info);

// 220 x 80 pixels, no margins, no scroll bars.
QString adBanner();

// The trading handbook, readable at about 413 pixels wide.
QString handbook();

struct PickRow {
    QString code;
    QString name;
    QString close;
    QString pressure;
    QString pressurePercent;
    QString support;
    QString supportPercent;
    QString position;  // 近支撑 / 中间 / 近压力
    bool aboveAverage = false;
    bool demo = false;
    bool suspended = false;
    QString problem;  // set when no levels could be computed
};
QString picking(const QList<PickRow>& rows, const QString& generatedAt);

QString message(qint64 id, const QString& title, const QString& body, const QString& created);
QString messageNotFound(const QString& requestedId);

QString registrationForm(const QString& name, const QString& problem);
QString registrationDone(const QString& name);
QString passwordRecovery();

QString packageMissing();
QString notFound(const QString& path);
QString methodNotAllowed();
QString bodyTooLarge();
// A request the server refused before reading it whole (malformed, too long, too slow).
QString requestRefused(int status, const QString& reason);
QString redirectNotice(const QString& location);

// The pages at the end of the analysis redirects: the decoded payload shown readably.
QString stockAnswer(const QString& payload);
QString indexAnswer(const QString& payload);
// The page at the answer address of a request from an account that is not signed in.
QString signedOutAnswer();

}  // namespace tallyro::service::pages
