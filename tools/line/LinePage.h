#pragma once

#include <QJsonObject>
#include <QString>

// The dashboard's page as the server first sends it: the same JSON the API
// answers (benches, today's summary, the latest records, hours), laid out
// as HTML with every text from the database escaped. The page's script
// then polls the API and fills the same elements with textContent.
class LinePage
{
public:
    struct Content
    {
        QJsonObject benches;
        QJsonObject summary;
        QJsonObject records;
        // The server's day ("2026-12-08"): what "today" means on the page.
        QString today;
    };

    static QByteArray html(const Content &content);
};
