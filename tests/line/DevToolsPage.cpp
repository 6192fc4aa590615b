#include "DevToolsPage.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

namespace {

// Runs the event loop until done() or the deadline; true when done.
template<typename Done>
bool spinUntil(Done done, const QDeadlineTimer &deadline)
{
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done() || deadline.hasExpired())
            loop.quit();
    });
    tick.start();
    if (!done() && !deadline.hasExpired())
        loop.exec();
    return done();
}

} // namespace

DevToolsPage::DevToolsPage()
{
    QObject::connect(&m_socket, &QWebSocket::textMessageReceived, [this](const QString &text) {
        const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
        if (message.contains(QStringLiteral("id")))
            m_answers.insert(message.value(QStringLiteral("id")).toInt(), message);
    });
}

DevToolsPage::~DevToolsPage()
{
    m_socket.abort();
    if (m_browser.state() != QProcess::NotRunning) {
        m_browser.terminate();
        if (!m_browser.waitForFinished(5000)) {
            m_browser.kill();
            m_browser.waitForFinished(5000);
        }
    }
}

QString DevToolsPage::program()
{
    const QString given = qEnvironmentVariable("TARVO_CHROMIUM");
    return given.isEmpty() ? QStringLiteral("chromium") : given;
}

bool DevToolsPage::open(const QString &url, QString *error, int width, int height)
{
    m_browser.setProgram(program());
    m_browser.setArguments({QStringLiteral("--headless"), QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"),
                            QStringLiteral("--no-first-run"), QStringLiteral("--remote-debugging-port=0"),
                            QStringLiteral("--user-data-dir=") + m_profile.path(),
                            QStringLiteral("--window-size=%1,%2").arg(width).arg(height), url});
    // Its complaints about a missing D-Bus and such go to a file beside the profile.
    m_browser.setStandardOutputFile(QProcess::nullDevice());
    m_browser.setStandardErrorFile(m_log.filePath(QStringLiteral("browser.log")));
    m_browser.start();
    if (!m_browser.waitForStarted(10000)) {
        *error = QStringLiteral("%1 does not start: %2").arg(program(), m_browser.errorString());
        return false;
    }
    // The browser writes its debugging port into the profile once it listens.
    const QString portFile = m_profile.filePath(QStringLiteral("DevToolsActivePort"));
    QByteArray port;
    const bool listening = spinUntil([&] {
        QFile file(portFile);
        if (file.open(QIODevice::ReadOnly))
            port = file.readLine().trimmed();
        return !port.isEmpty() || m_browser.state() == QProcess::NotRunning;
    }, QDeadlineTimer(30000));
    if (!listening || port.isEmpty()) {
        *error = QStringLiteral("%1 did not open its debugging port").arg(program());
        return false;
    }
    QNetworkAccessManager network;
    QNetworkReply *reply = network.get(QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/json/list").arg(QString::fromLatin1(port)))));
    spinUntil([&] { return reply->isFinished(); }, QDeadlineTimer(10000));
    QString socketUrl;
    for (const QJsonValue &target : QJsonDocument::fromJson(reply->readAll()).array())
        if (target.toObject().value(QStringLiteral("type")).toString() == QLatin1String("page"))
            socketUrl = target.toObject().value(QStringLiteral("webSocketDebuggerUrl")).toString();
    delete reply;
    if (socketUrl.isEmpty()) {
        *error = QStringLiteral("the browser lists no page");
        return false;
    }
    m_socket.open(QUrl(socketUrl));
    if (!spinUntil([&] { return m_socket.state() == QAbstractSocket::ConnectedState; }, QDeadlineTimer(10000))) {
        *error = QStringLiteral("no connection to the page: %1").arg(m_socket.errorString());
        return false;
    }
    error->clear();
    call(QStringLiteral("Runtime.enable"), {}, error);
    // The window has a smallest width of its own; a phone's is set here.
    if (error->isEmpty())
        call(QStringLiteral("Emulation.setDeviceMetricsOverride"),
             {{QStringLiteral("width"), width}, {QStringLiteral("height"), height}, {QStringLiteral("deviceScaleFactor"), 1},
              {QStringLiteral("mobile"), width < 600}},
             error);
    return error->isEmpty();
}

QJsonObject DevToolsPage::call(const QString &method, const QJsonObject &params, QString *error, int timeoutMs)
{
    const int id = m_nextId++;
    m_socket.sendTextMessage(QString::fromUtf8(QJsonDocument(QJsonObject{
        {QStringLiteral("id"), id}, {QStringLiteral("method"), method}, {QStringLiteral("params"), params}}).toJson(QJsonDocument::Compact)));
    if (!spinUntil([&] { return m_answers.contains(id); }, QDeadlineTimer(timeoutMs))) {
        if (error)
            *error = QStringLiteral("%1: no answer").arg(method);
        return {};
    }
    const QJsonObject answer = m_answers.take(id);
    if (answer.contains(QStringLiteral("error"))) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(method, QString::fromUtf8(QJsonDocument(answer.value(QStringLiteral("error")).toObject()).toJson()));
        return {};
    }
    return answer.value(QStringLiteral("result")).toObject();
}

QJsonValue DevToolsPage::evaluate(const QString &expression, QString *error)
{
    const QJsonObject result = call(QStringLiteral("Runtime.evaluate"),
                                    {{QStringLiteral("expression"), expression}, {QStringLiteral("returnByValue"), true}}, error);
    if (result.contains(QStringLiteral("exceptionDetails"))) {
        if (error)
            *error = QString::fromUtf8(QJsonDocument(result.value(QStringLiteral("exceptionDetails")).toObject()).toJson());
        return QJsonValue(QJsonValue::Undefined);
    }
    return result.value(QStringLiteral("result")).toObject().value(QStringLiteral("value"));
}

qint64 DevToolsPage::waitUntil(const QString &expression, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (evaluate(expression).toBool())
            return clock.elapsed();
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return -1;
}

QByteArray DevToolsPage::screenshot(QString *error)
{
    const QJsonObject result = call(QStringLiteral("Page.captureScreenshot"), {{QStringLiteral("format"), QStringLiteral("png")}}, error);
    return QByteArray::fromBase64(result.value(QStringLiteral("data")).toString().toLatin1());
}
