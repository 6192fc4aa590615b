#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QStringList>
#include <memory>

class CliOptions;
class CliOutput;
class OperatorInput;
class QProcess;

// Several programmers at once: one tarvo-cli per port with the same job
// (the link stays single-threaded), each reporting in JSON to this parent.
// The parent shows every event with its port in front (or with a "port"
// field in JSON), passes each line of its standard input to every port, so
// that one Enter starts the next device on all of them, forwards Ctrl+C,
// and ends with a summary table per port and the worst exit code.
class PortFleet : public QObject
{
    Q_OBJECT
public:
    // The environment variable that tells a process it runs one port.
    static constexpr char ChildVariable[] = "TARVO_CLI_PORT_CHILD";

    PortFleet(const CliOptions &options, bool json);
    ~PortFleet() override;

    int run();

    // The arguments for one port: the parsed options with that port alone
    // and --json.
    static QStringList childArguments(const CliOptions &options, const QString &port);

signals:
    void childFinished();

private:
    struct Child;

    // The ports of --port auto-all: every one a programmer answers on.
    QStringList programmerPorts();
    void start(Child &child);
    void readOut(Child &child);
    void readErr(Child &child);
    void handle(Child &child, const QJsonObject &event);
    void passLine(const QByteArray &line);
    void endInput();
    void promptWhenAllWait();
    void stopAll();
    void printTable();
    bool allFinished() const;

    const CliOptions &m_options;
    bool m_json;
    std::unique_ptr<CliOutput> m_output;
    QList<std::shared_ptr<Child>> m_children;
    OperatorInput *m_input = nullptr;
    // On a terminal, lines are passed on only in answer to the prompt.
    bool m_asked = false;
};
