#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class QSocketNotifier;

// Standard input as lines, read in the event loop: the operator's go for
// the next device (Enter, or a foot switch that sends it), or the lines a
// parent process passes on. Reading never blocks a wait of the link.
class OperatorInput : public QObject
{
    Q_OBJECT
public:
    // Run: an empty line (blanks only); Quit: q, quit or exit; Other: any
    // other line (refused, see refusedLine()); End: the end of input;
    // Stopped: stop() was called.
    enum class Go { Run, Quit, Other, End, Stopped };

    explicit OperatorInput(int fd = 0, QObject *parent = nullptr);

    // What the operator is asked before each device.
    static QString nextDevicePrompt() { return QStringLiteral("Insert the next device: Enter to run, q to quit"); }

    bool terminal() const { return m_terminal; }
    // --scan: a line is the device's scanned code (a barcode) and runs it;
    // an empty line is then refused (Other), q, quit and exit still end.
    void setScan(bool scan) { m_scan = scan; }
    bool scan() const { return m_scan; }
    // The code of the last Run with scan set, blanks around it dropped.
    QByteArray scannedCode() const { return m_scanned; }

    // Waits in the event loop for the next line.
    Go wait();
    // The line of the last Other.
    QByteArray refusedLine() const { return m_refused; }
    // On a terminal, everything typed so far and not yet taken is dropped:
    // keys pressed while a device ran, or a foot switch that bounced, must
    // not start the next one. From a pipe, every line stays one device.
    void discardTypedAhead();
    // Ends a wait under way, and every later one.
    void stop();

    // "q", "quit", "exit" (any case, blanks around them) end the run.
    static bool isQuit(const QByteArray &line);
    // The lines complete in buffer, without their ends, taken out of it.
    static QList<QByteArray> takeLines(QByteArray &buffer);

signals:
    void lineRead(const QByteArray &line);
    void endOfInput();
    // stop() was called.
    void stopped();

private:
    void readSome();

    int m_fd;
    bool m_terminal;
    QSocketNotifier *m_notifier = nullptr;
    QByteArray m_partial;
    QList<QByteArray> m_lines;
    QByteArray m_refused;
    QByteArray m_scanned;
    bool m_scan = false;
    bool m_ended = false;
    bool m_stopped = false;
};
