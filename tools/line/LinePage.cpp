#include "LinePage.h"

#include "HtmlText.h"

#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonValue>

namespace {

QString esc(const QJsonValue &value)
{
    if (value.isDouble())
        return value.toDouble() == double(value.toInteger()) ? QString::number(value.toInteger())
                                                             : QString::number(value.toDouble(), 'f', 1);
    if (value.isBool())
        return value.toBool() ? QStringLiteral("pass") : QStringLiteral("fail");
    if (value.isArray()) {
        QStringList parts;
        for (const QJsonValue &v : value.toArray())
            parts << v.toString();
        return HtmlText::escape(parts.join(QStringLiteral(" | ")));
    }
    return HtmlText::escape(value.toString());
}

QString yieldText(const QJsonValue &yield)
{
    return yield.isNull() || yield.isUndefined() ? QStringLiteral("-") : QString::number(yield.toDouble(), 'g', 4) + QStringLiteral(" %");
}

// A table's columns: heading and the key of the row object shown.
struct Column
{
    const char *heading;
    const char *key;
};

QString rows(const QJsonArray &list, std::initializer_list<Column> columns, const QString &empty)
{
    if (list.isEmpty())
        return QStringLiteral("<tr class=\"empty\"><td colspan=\"%1\">%2</td></tr>").arg(columns.size()).arg(empty);
    QString out;
    for (const QJsonValue &v : list) {
        const QJsonObject row = v.toObject();
        out += QStringLiteral("<tr>");
        for (const Column &c : columns) {
            const QString key = QLatin1String(c.key);
            const QString text = key == QLatin1String("yield") ? yieldText(row.value(key)) : esc(row.value(key));
            out += QStringLiteral("<td data-label=\"%1\">%2</td>").arg(QLatin1String(c.heading), text);
        }
        out += QStringLiteral("</tr>\n");
    }
    return out;
}

// The state's class and mark: "failed", "gone", ...
QString stateClass(const QJsonObject &bench)
{
    if (bench.value(QStringLiteral("gone")).toBool())
        return QStringLiteral("gone");
    const QString state = bench.value(QStringLiteral("state")).toString();
    for (const char *known : {"waiting", "running", "passed", "failed", "stopped"})
        if (state == QLatin1String(known))
            return state;
    return QStringLiteral("unknown");
}

// Words for a bench's state, never colour alone: "Failed at verify".
QString stateText(const QJsonObject &bench)
{
    const QString state = stateClass(bench);
    const QString command = bench.value(QStringLiteral("command")).toString();
    const QString step = bench.value(QStringLiteral("step")).toString();
    if (state == QLatin1String("gone"))
        return QStringLiteral("Gone: not heard from since %1").arg(bench.value(QStringLiteral("changed")).toString());
    if (state == QLatin1String("waiting"))
        return QStringLiteral("Waiting for the operator");
    if (state == QLatin1String("running"))
        // One arg() call: a chained one would fill marks like %1 within the command's text.
        return QStringLiteral("Running %1 (device %2)")
            .arg(command, QString::number(bench.value(QStringLiteral("devices")).toInteger()));
    if (state == QLatin1String("passed"))
        return QStringLiteral("Passed");
    if (state == QLatin1String("failed"))
        return step.isEmpty() ? QStringLiteral("Failed") : QStringLiteral("Failed at %1").arg(step);
    if (state == QLatin1String("stopped"))
        return QStringLiteral("Stopped");
    return QStringLiteral("Unknown state %1").arg(bench.value(QStringLiteral("state")).toString());
}

QString tile(const QJsonObject &b)
{
    const QJsonObject today = b.value(QStringLiteral("today")).toObject();
    const QString state = stateClass(b);
    // The run's last failure stays on the tile after later passes.
    const QString failure = esc(b.value(QStringLiteral("text")));
    return QStringLiteral("<article class=\"tile %1\">"
                          "<h3><span class=\"host\">%2</span> <span class=\"port\">%3</span></h3>"
                          "<p class=\"state\"><span class=\"mark\" aria-hidden=\"true\"></span><span class=\"words\">%4</span></p>"
                          "<dl><dt>Job</dt><dd class=\"job\">%5</dd><dt>Lot</dt><dd class=\"lot\">%6</dd>"
                          "<dt>Today</dt><dd class=\"today\">%7 devices, %8 passed</dd>"
                          "<dt>Last failure</dt><dd class=\"failure\">%9</dd></dl></article>\n")
        .arg(state, esc(b.value(QStringLiteral("host"))), esc(b.value(QStringLiteral("port"))),
             HtmlText::escape(stateText(b)), esc(b.value(QStringLiteral("job"))), esc(b.value(QStringLiteral("lot"))),
             QString::number(today.value(QStringLiteral("devices")).toInteger()), yieldText(today.value(QStringLiteral("yield"))),
             failure.isEmpty() ? QStringLiteral("-") : failure);
}

// One pass over the template: a text filled in is never searched again, so
// a host named "{{records}}" stays that text.
QString fill(const QString &page, const QHash<QString, QString> &fills)
{
    QString out;
    qsizetype at = 0;
    while (true) {
        const qsizetype open = page.indexOf(QLatin1String("{{"), at);
        const qsizetype close = open < 0 ? -1 : page.indexOf(QLatin1String("}}"), open);
        if (close < 0)
            break;
        out += QStringView(page).mid(at, open - at);
        out += fills.value(page.mid(open + 2, close - open - 2));
        at = close + 2;
    }
    out += QStringView(page).mid(at);
    return out;
}

QString resourceText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

QByteArray LinePage::html(const Content &content)
{
    QString tiles;
    for (const QJsonValue &b : content.benches.value(QStringLiteral("benches")).toArray())
        tiles += tile(b.toObject());
    if (tiles.isEmpty())
        tiles = QStringLiteral("<p class=\"empty\">No bench has reported yet.</p>");
    const QJsonObject total = content.summary.value(QStringLiteral("total")).toObject();
    QString page = resourceText(QStringLiteral(":/line/line.html"));
    const QHash<QString, QString> fills = {
        {QStringLiteral("today"), HtmlText::escape(content.today)},
        {QStringLiteral("now"), esc(content.benches.value(QStringLiteral("now")))},
        {QStringLiteral("benches"), tiles},
        {QStringLiteral("total"), QStringLiteral("%1 devices, %2 passed, %3 failed, yield %4")
                                      .arg(total.value(QStringLiteral("devices")).toInteger())
                                      .arg(total.value(QStringLiteral("passed")).toInteger())
                                      .arg(total.value(QStringLiteral("failed")).toInteger())
                                      .arg(yieldText(total.value(QStringLiteral("yield"))))},
        {QStringLiteral("joblots"), rows(content.summary.value(QStringLiteral("byJobLot")).toArray(),
                                         {{"Job", "job"}, {"Lot", "lot"}, {"Devices", "devices"}, {"Passed", "passed"},
                                          {"Failed", "failed"}, {"Yield", "yield"}},
                                         QStringLiteral("No device today."))},
        {QStringLiteral("steps"), rows(content.summary.value(QStringLiteral("failedSteps")).toArray(),
                                       {{"Step", "step"}, {"Failed devices", "devices"}}, QStringLiteral("No failure today."))},
        {QStringLiteral("records"), rows(content.records.value(QStringLiteral("records")).toArray(),
                                         {{"Time", "time"}, {"Host", "host"}, {"Port", "port"}, {"Device", "device"},
                                          {"Job", "job"}, {"Lot", "lot"}, {"Serial", "serial"}, {"Result", "passed"},
                                          {"Outcome", "outcome"}},
                                         QStringLiteral("No record yet."))},
        {QStringLiteral("retired"), rows(content.summary.value(QStringLiteral("retired")).toArray(),
                                         {{"Sequence", "sequence"}, {"Number", "number"}, {"Retired", "retired"},
                                          {"Reason", "reason"}},
                                         QStringLiteral("No number retired."))},
    };
    return fill(page, fills).toUtf8();
}
