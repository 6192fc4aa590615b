#pragma once

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>

// The objects of a JSON-lines file, such as a production log.
inline QList<QJsonObject> readJsonLines(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    QList<QJsonObject> out;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (!line.isEmpty())
            out << QJsonDocument::fromJson(line).object();
    return out;
}
