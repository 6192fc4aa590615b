#include "JsonEventWriter.h"

#include <QJsonDocument>

void JsonEventWriter::write(const QString &event, QJsonObject fields)
{
    fields.insert(QStringLiteral("event"), event);
    QByteArray line = QJsonDocument(fields).toJson(QJsonDocument::Compact);
    line.append('\n');
    std::fwrite(line.constData(), 1, size_t(line.size()), m_out);
    std::fflush(m_out);
}
