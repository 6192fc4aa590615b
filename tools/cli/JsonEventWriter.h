#pragma once

#include <QJsonObject>
#include <QString>
#include <cstdio>

// Writes one compact JSON object per line and flushes it at once, so a
// program reading the pipe sees each event as it happens.
class JsonEventWriter
{
public:
    explicit JsonEventWriter(std::FILE *out) : m_out(out) {}

    // {"event": name, ...fields}
    void write(const QString &event, QJsonObject fields = {});

private:
    std::FILE *m_out;
};
