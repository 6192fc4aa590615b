#include "PortFinder.h"

#include "CliOutput.h"
#include "PortAvailability.h"
#include "ProgrammerLink.h"

PortFinder::PortFinder(ProgrammerLink &link, CliOutput &output, const bool &stopped)
    : m_link(link)
    , m_output(output)
    , m_stopped(stopped)
{
}

PortFinder::Result PortFinder::tryPort(const PortChoice::Candidate &candidate)
{
    ComPort &port = m_link.port();
    port.close();
    port.setComNumber(uint16_t(candidate.comNumber));
    port.setDevicePath(candidate.path);
    if (!port.open()) {
        m_openError = port.errorString();
        return Result::OpenFailed;
    }
    const std::optional<QString> date = m_link.ReadVersion();
    if (m_stopped)
        return Result::Stopped;
    if (!date) {
        port.close();
        return Result::NoAnswer;
    }
    m_chosen = candidate;
    m_biosCode = *date;
    return Result::Found;
}

PortFinder::Result PortFinder::search(const QList<PortChoice::Candidate> &candidates)
{
    return searchPorts(candidates, nullptr);
}

QList<PortChoice::Candidate> PortFinder::findAll(const QList<PortChoice::Candidate> &candidates)
{
    QList<PortChoice::Candidate> found;
    searchPorts(candidates, &found);
    return found;
}

PortFinder::Result PortFinder::searchPorts(const QList<PortChoice::Candidate> &candidates,
                                           QList<PortChoice::Candidate> *found)
{
    m_link.setStrictDetection(true);
    Result result = Result::NoAnswer;
    for (const PortChoice::Candidate &c : candidates) {
        const PortAvailability::Result available = PortAvailability::check(c.path);
        // The console is never searched: the frame would go to a login
        // prompt or the kernel's messages.
        if (available.state != PortAvailability::State::Free || available.console) {
            const QString why = PortAvailability::describe(available);
            m_output.portSearch(c.path, c.comNumber, QStringLiteral("skipped"), why);
            m_tried.append(QStringLiteral("%1 (%2)").arg(c.path, why));
            continue;
        }
        m_output.portSearch(c.path, c.comNumber, QStringLiteral("trying"), QString());
        result = tryPort(c);
        if (result == Result::Found && found) {
            found->append(c);
            m_link.port().close();
            continue;
        }
        if (result == Result::Found || result == Result::Stopped)
            break;
        // A port that does not answer is part of the search, not an error.
        const QString why = result == Result::OpenFailed ? m_openError : QStringLiteral("no answer");
        m_output.portSearch(c.path, c.comNumber,
                            result == Result::OpenFailed ? QStringLiteral("skipped") : QStringLiteral("no-answer"), why);
        m_tried.append(QStringLiteral("%1 (%2)").arg(c.path, why));
        result = Result::NoAnswer;
    }
    m_link.setStrictDetection(false);
    return result;
}
