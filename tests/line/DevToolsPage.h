#pragma once

#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QWebSocket>

// A page in headless Chromium, driven over its DevTools protocol: the
// browser a supervisor opens, run by a test or benchmark. Every wait is
// bounded; the browser ends with this object.
class DevToolsPage
{
public:
    DevToolsPage();
    ~DevToolsPage();
    DevToolsPage(const DevToolsPage &) = delete;
    DevToolsPage &operator=(const DevToolsPage &) = delete;

    // Starts the browser on url (width x height); false with why.
    bool open(const QString &url, QString *error, int width = 1366, int height = 768);
    // The value of a JavaScript expression in the page (by value); an
    // undefined value and *error on failure.
    QJsonValue evaluate(const QString &expression, QString *error = nullptr);
    // Evaluates expression until it is true, or timeoutMs passed; the
    // milliseconds it took, -1 on time-out.
    qint64 waitUntil(const QString &expression, int timeoutMs);
    // A PNG of the page as shown.
    QByteArray screenshot(QString *error);

    // The browser's program, from TARVO_CHROMIUM or "chromium".
    static QString program();

private:
    QJsonObject call(const QString &method, const QJsonObject &params, QString *error, int timeoutMs = 10000);

    QTemporaryDir m_profile;
    QTemporaryDir m_log;
    QProcess m_browser;
    QWebSocket m_socket;
    int m_nextId = 1;
    QHash<int, QJsonObject> m_answers;
};
