#pragma once

#include "JsonEventWriter.h"
#include "Prompter.h"
#include "TerminalProgress.h"

#include <QList>
#include <QPair>
#include <QString>
#include <optional>

// Everything tarvo-cli tells its user, in one of two forms: text (status
// lines on standard output, boxes on standard error, a progress bar when
// standard output is a terminal) or JSON (one object per event on standard
// output; boxes also go to standard error as text).
class CliOutput
{
public:
    struct Bit
    {
        QString label;
        QString state;
    };

    // Quiet: no text on standard output (JSON is kept); Verbose: details too.
    enum class Verbosity { Quiet, Normal, Verbose };

    CliOutput(bool json, bool terminal);

    bool json() const { return m_json; }
    void setVerbosity(Verbosity verbosity);

    // The command the next events belong to ("" before the first).
    void setCommand(const QString &command) { m_command = command; }

    // A status line that settled (an outcome, not a running address).
    void status(int line, const QString &text);
    // What a status line shows while it moves; the bar on a terminal only.
    void moving(const QString &text, int value, int minimum, int maximum, bool force);
    // One block of a transfer done; JSON only.
    void blockDone(const QString &text, int done, int total);
    void message(Prompter::Icon icon, const QString &text, std::optional<Prompter::Answer> answer);
    // The detection passed: its status bar text and the firmware date.
    void hardware(const QString &statusText, const QString &biosCode);
    void fuseBits(const QList<Bit> &bits, std::optional<uint8_t> value);
    // A port search: a port being tried or skipped (standard error).
    void portSearch(const QString &path, int comNumber, const QString &action, const QString &reason);
    // The port a search or an indirect name led to.
    void portChosen(const QString &path, int comNumber);
    void result(bool passed);
    // A line of the program's own about the run, and one only -v shows.
    void note(const QString &text);
    void detail(const QString &text);
    void usageError(const QString &text);
    void exit(int code);

    // A production run. The operator is asked for the next device; shown
    // as text only when `shown` (standard input is a terminal).
    void prompt(const QString &text, bool shown);
    // One device done: its number in the run, the serial number written,
    // and the window's counters after it.
    void device(int number, bool passed, const QString &serial, int success, int failure);
    // The end of the run.
    void summary(int devices, int passed, int failed, qint64 msPerDevice);

    // Several ports: each line of text starts with prefix; each JSON object
    // gets the field "port".
    void setPort(const QString &port) { m_port = port; }
    // An event of a process on one port, as it came (JSON only).
    void relay(QJsonObject event);

private:
    void line(const QString &text);

    bool m_json;
    bool m_terminal;
    Verbosity m_verbosity = Verbosity::Normal;
    QString m_command;
    QString m_port;
    JsonEventWriter m_writer{stdout};
    TerminalProgress m_progress{stdout};
};
