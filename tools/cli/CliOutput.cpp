#include "CliOutput.h"

#include "HexText.h"

#include <QJsonArray>
#include <cstdio>

namespace {

QString iconName(Prompter::Icon icon)
{
    switch (icon) {
    case Prompter::Icon::Error:
        return QStringLiteral("error");
    case Prompter::Icon::Warning:
        return QStringLiteral("warning");
    case Prompter::Icon::Question:
        return QStringLiteral("question");
    case Prompter::Icon::None:
        break;
    }
    return QStringLiteral("none");
}

QString answerName(Prompter::Answer answer)
{
    switch (answer) {
    case Prompter::Answer::Yes:
        return QStringLiteral("Yes");
    case Prompter::Answer::No:
        return QStringLiteral("No");
    case Prompter::Answer::Ok:
        break;
    }
    return QStringLiteral("OK");
}

void printErr(const QString &text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stderr);
    std::fflush(stderr);
}

} // namespace

CliOutput::CliOutput(bool json, bool terminal)
    : m_json(json)
    , m_terminal(terminal && !json)
{
}

void CliOutput::setVerbosity(Verbosity verbosity)
{
    m_verbosity = verbosity;
    if (verbosity == Verbosity::Quiet)
        m_terminal = false;
}

void CliOutput::line(const QString &text)
{
    if (m_verbosity == Verbosity::Quiet)
        return;
    m_progress.clear();
    const QString prefix = m_port.isEmpty() ? QString() : m_port + QLatin1String(": ");
    std::fputs(qPrintable(prefix + text + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

void CliOutput::status(int line, const QString &text)
{
    if (m_json) {
        m_writer.write(QStringLiteral("status"),
                       {{QStringLiteral("command"), m_command}, {QStringLiteral("line"), line}, {QStringLiteral("text"), text}});
        return;
    }
    this->line(text);
}

void CliOutput::moving(const QString &text, int value, int minimum, int maximum, bool force)
{
    if (m_terminal)
        m_progress.show(text, value, minimum, maximum, force);
}

void CliOutput::blockDone(const QString &text, int done, int total)
{
    if (!m_json)
        return;
    m_writer.write(QStringLiteral("progress"), {{QStringLiteral("command"), m_command},
                                                {QStringLiteral("text"), text},
                                                {QStringLiteral("done"), done},
                                                {QStringLiteral("total"), total}});
}

void CliOutput::message(Prompter::Icon icon, const QString &text, std::optional<Prompter::Answer> answer)
{
    // Boxes go to standard error in both forms, so a person watching a JSON
    // run still sees them.
    m_progress.clear();
    QString shown;
    switch (icon) {
    case Prompter::Icon::Error:
        shown = QStringLiteral("Error: ") + text;
        break;
    case Prompter::Icon::Warning:
        shown = QStringLiteral("Warning: ") + text;
        break;
    case Prompter::Icon::Question:
    case Prompter::Icon::None:
        shown = text;
        break;
    }
    if (answer)
        shown += QLatin1Char(' ') + answerName(*answer);
    printErr(shown);
    if (m_json) {
        QJsonObject fields{{QStringLiteral("icon"), iconName(icon)}, {QStringLiteral("text"), text}};
        if (answer)
            fields.insert(QStringLiteral("answer"), answerName(*answer));
        m_writer.write(QStringLiteral("message"), fields);
    }
}

void CliOutput::hardware(const QString &statusText, const QString &biosCode)
{
    if (m_json) {
        m_writer.write(QStringLiteral("hardware"), {{QStringLiteral("text"), statusText}, {QStringLiteral("bios"), biosCode}});
        return;
    }
    line(statusText);
    line(QStringLiteral("Bios Code ") + biosCode);
}

void CliOutput::fuseBits(const QList<Bit> &bits, std::optional<uint8_t> value)
{
    if (m_json) {
        QJsonArray array;
        for (const Bit &b : bits)
            array.append(QJsonObject{{QStringLiteral("label"), b.label}, {QStringLiteral("state"), b.state}});
        QJsonObject fields{{QStringLiteral("command"), m_command}, {QStringLiteral("bits"), array}};
        if (value)
            fields.insert(QStringLiteral("value"), HexText::HexByteToStr2(*value));
        m_writer.write(QStringLiteral("fuse"), fields);
        return;
    }
    for (const Bit &b : bits)
        line(b.label + QLatin1String(" : ") + b.state);
    if (value)
        line(QStringLiteral("Fuse Value : ") + HexText::HexByteToStr2(*value));
}

namespace {

QString withEntry(const QString &path, int comNumber)
{
    return comNumber > 0 ? QStringLiteral("%1 (Com%2)").arg(path).arg(comNumber) : path;
}

QJsonObject portFields(const QString &path, int comNumber)
{
    QJsonObject fields{{QStringLiteral("path"), path}};
    if (comNumber > 0)
        fields.insert(QStringLiteral("com"), QStringLiteral("Com%1").arg(comNumber));
    return fields;
}

} // namespace

void CliOutput::portSearch(const QString &path, int comNumber, const QString &action, const QString &reason)
{
    m_progress.clear();
    // No answer needs no line of its own: the next try or the result follows.
    if (action != QLatin1String("no-answer")) {
        QString text = (action == QLatin1String("trying") ? QStringLiteral("Trying ") : QStringLiteral("Skipping "))
            + withEntry(path, comNumber);
        if (!reason.isEmpty())
            text += QLatin1String(": ") + reason;
        printErr(text);
    }
    if (m_json) {
        QJsonObject fields = portFields(path, comNumber);
        fields.insert(QStringLiteral("action"), action);
        if (!reason.isEmpty())
            fields.insert(QStringLiteral("reason"), reason);
        m_writer.write(QStringLiteral("port-search"), fields);
    }
}

void CliOutput::portChosen(const QString &path, int comNumber)
{
    if (m_json) {
        m_writer.write(QStringLiteral("port"), portFields(path, comNumber));
        return;
    }
    line(QStringLiteral("Port chosen: ") + withEntry(path, comNumber));
}

void CliOutput::result(bool passed)
{
    m_progress.clear();
    if (m_json)
        m_writer.write(QStringLiteral("result"), {{QStringLiteral("command"), m_command}, {QStringLiteral("passed"), passed}});
}

void CliOutput::note(const QString &text)
{
    if (m_json)
        m_writer.write(QStringLiteral("note"), {{QStringLiteral("text"), text}});
    else
        line(text);
}

void CliOutput::detail(const QString &text)
{
    if (m_verbosity == Verbosity::Verbose)
        note(text);
}

void CliOutput::usageError(const QString &text)
{
    printErr(QStringLiteral("tarvo-cli: ") + text);
    if (m_json)
        m_writer.write(QStringLiteral("usage-error"), {{QStringLiteral("text"), text}});
}

void CliOutput::exit(int code)
{
    m_progress.clear();
    if (m_json)
        m_writer.write(QStringLiteral("exit"), {{QStringLiteral("code"), code}});
}

void CliOutput::prompt(const QString &text, bool shown)
{
    if (m_json) {
        m_writer.write(QStringLiteral("waiting"), {{QStringLiteral("text"), text}});
        return;
    }
    if (shown)
        line(text);
}

void CliOutput::device(int number, bool passed, const QString &serial, int success, int failure)
{
    if (m_json) {
        QJsonObject fields{{QStringLiteral("device"), number},
                           {QStringLiteral("passed"), passed},
                           {QStringLiteral("success"), success},
                           {QStringLiteral("failure"), failure}};
        if (!serial.isEmpty())
            fields.insert(QStringLiteral("serial"), serial);
        m_writer.write(QStringLiteral("device"), fields);
        return;
    }
    QString text = QStringLiteral("Device %1 %2").arg(number).arg(passed ? QLatin1String("passed") : QLatin1String("failed"));
    if (!serial.isEmpty())
        text += QStringLiteral(", serial ") + serial;
    line(text + QStringLiteral(". Success : %1  Failure : %2").arg(success).arg(failure));
}

void CliOutput::summary(int devices, int passed, int failed, qint64 msPerDevice)
{
    if (m_json) {
        m_writer.write(QStringLiteral("summary"), {{QStringLiteral("devices"), devices},
                                                   {QStringLiteral("passed"), passed},
                                                   {QStringLiteral("failed"), failed},
                                                   {QStringLiteral("ms_per_device"), msPerDevice}});
        return;
    }
    line(QStringLiteral("Devices: %1, passed: %2, failed: %3, time per device: %4 s")
             .arg(devices)
             .arg(passed)
             .arg(failed)
             .arg(double(msPerDevice) / 1000.0, 0, 'f', 2));
}

void CliOutput::relay(QJsonObject event)
{
    if (!m_json)
        return;
    const QString name = event.take(QStringLiteral("event")).toString();
    event.insert(QStringLiteral("port"), m_port);
    m_writer.write(name, event);
}
