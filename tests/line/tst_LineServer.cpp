// tarvo-line as a program over HTTP: it refuses to open itself beyond this
// machine without a token, then answers nothing without it (401), answers
// with the bearer header and with the cookie /login sets, and ends on
// SIGTERM.
#include "LineFixture.h"
#include "LineProcess.h"

#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Answer
{
    int status = 0;
    QByteArray body;
    QByteArray setCookie;
};

Answer fetch(QNetworkAccessManager &network, const QString &url, const QByteArray &authorization = {},
             const QByteArray &method = "GET")
{
    QNetworkRequest request{QUrl(url)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(10000);
    if (!authorization.isEmpty())
        request.setRawHeader("Authorization", authorization);
    QNetworkReply *reply = network.sendCustomRequest(request, method);
    if (!QTest::qWaitFor([reply] { return reply->isFinished(); }, 15000))
        reply->abort();
    Answer a{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll(), reply->rawHeader("Set-Cookie")};
    delete reply;
    return a;
}

const QByteArray Token = "line-server-token-0123456789";

} // namespace

class tst_LineServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void refusesOpenAddressWithoutToken();
    void tokenOverHttp_data();
    void tokenOverHttp();
    void loopbackNeedsNoToken();
    void refusesMissingDatabase();

private:
    QTemporaryDir m_dir;
    QString m_database;
    QString m_tokenFile;
};

void tst_LineServer::initTestCase()
{
    m_database = m_dir.filePath(QStringLiteral("line.db"));
    LineFixture line(m_database);
    QString error;
    QVERIFY2(line.open(&error), qPrintable(error));
    QVERIFY2(line.add(LineFixture::Device(), &error), qPrintable(error));
    m_tokenFile = m_dir.filePath(QStringLiteral("token"));
    QFile file(m_tokenFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(Token + '\n');
}

void tst_LineServer::refusesOpenAddressWithoutToken()
{
    for (const char *address : {"0.0.0.0:0", "[::]:0", "10.1.2.3:8040"}) {
        QByteArray err;
        QCOMPARE(LineProcess::run({QStringLiteral("--db"), m_database, QStringLiteral("--listen"), QString::fromLatin1(address)}, &err), 2);
        QVERIFY2(err.contains("--token-file"), err.constData());
    }
    QByteArray err;
    QCOMPARE(LineProcess::run({QStringLiteral("--db"), m_database, QStringLiteral("--listen"), QStringLiteral("0.0.0.0:0"),
                               QStringLiteral("--token-file"), m_dir.filePath(QStringLiteral("none"))}, &err), 2);
}

void tst_LineServer::tokenOverHttp_data()
{
    QTest::addColumn<QString>("listen");
    QTest::newRow("every address") << "0.0.0.0:0";
    QTest::newRow("loopback with a token") << "127.0.0.1:0";
}

void tst_LineServer::tokenOverHttp()
{
    QFETCH(QString, listen);
    LineProcess line;
    QString error;
    QVERIFY2(line.start({QStringLiteral("--db"), m_database, QStringLiteral("--listen"), listen, QStringLiteral("--token-file"), m_tokenFile}, &error),
             qPrintable(error));
    QNetworkAccessManager network;
    network.setCookieJar(new QNetworkCookieJar(&network));
    for (const char *path : {"/", "/api/summary", "/api/benches", "/export.csv"}) {
        const QString url = line.url() + QLatin1String(path);
        QCOMPARE(fetch(network, url).status, 401);
        QCOMPARE(fetch(network, url, "Bearer wrong-token-0123456789").status, 401);
        const Answer ok = fetch(network, url, "Bearer " + Token);
        QCOMPARE(ok.status, 200);
    }
    QCOMPARE(fetch(network, line.url() + QStringLiteral("/login?token=nope-nope-nope-nope")).status, 401);
    const Answer login = fetch(network, line.url() + QStringLiteral("/login?token=") + QString::fromLatin1(Token));
    QCOMPARE(login.status, 303);
    QVERIFY(login.setCookie.contains("HttpOnly"));
    // The jar now holds the cookie: a browser's next request carries it.
    const Answer page = fetch(network, line.url() + QStringLiteral("/"));
    QCOMPARE(page.status, 200);
    QVERIFY(page.body.contains("<h1>The line</h1>"));
    QCOMPARE(fetch(network, line.url() + QStringLiteral("/api/records?limit=0")).status, 400);
}

void tst_LineServer::loopbackNeedsNoToken()
{
    LineProcess line;
    QString error;
    QVERIFY2(line.start({QStringLiteral("--db"), m_database, QStringLiteral("--listen"), QStringLiteral("localhost:0")}, &error), qPrintable(error));
    QNetworkAccessManager network;
    const Answer summary = fetch(network, line.url() + QStringLiteral("/api/summary"));
    QCOMPARE(summary.status, 200);
    QVERIFY(summary.body.contains("\"devices\":1"));
    const Answer css = fetch(network, line.url() + QStringLiteral("/line.css"));
    QCOMPARE(css.status, 200);
    for (const QByteArray method : {"POST", "HEAD", "DELETE"})
        QCOMPARE(fetch(network, line.url() + QStringLiteral("/api/summary"), {}, method).status, 405);
    QVERIFY(line.stop(5000));
}

void tst_LineServer::refusesMissingDatabase()
{
    QByteArray err;
    QCOMPARE(LineProcess::run({QStringLiteral("--db"), m_dir.filePath(QStringLiteral("missing.db"))}, &err), 2);
    QVERIFY2(err.contains("does not exist"), err.constData());
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("missing.db"))));
    QCOMPARE(LineProcess::run({QStringLiteral("--db"), m_database, QStringLiteral("--bogus")}, &err), 2);
}

QTEST_GUILESS_MAIN(tst_LineServer)
#include "tst_LineServer.moc"
