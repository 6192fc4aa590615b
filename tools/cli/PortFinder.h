#pragma once

#include "PortChoice.h"

#include <QString>
#include <optional>

class CliOutput;
class ProgrammerLink;

// Opens a port and runs the detection on it; or searches several ports in
// turn for the one the programmer answers on. A port that is not the
// programmer gets the detection frame and a CAN, nothing more, and is closed
// before the next one is tried: its bytes never reach a later exchange.
class PortFinder
{
public:
    enum class Result { Found, NoAnswer, OpenFailed, Stopped };

    PortFinder(ProgrammerLink &link, CliOutput &output, const bool &stopped);

    // The port stays open when the programmer answered.
    Result tryPort(const PortChoice::Candidate &candidate);
    // Tries each candidate in order, skipping busy ones; Found leaves the
    // port open on chosen().
    Result search(const QList<PortChoice::Candidate> &candidates);
    // Every candidate the programmer answers on, each closed again.
    QList<PortChoice::Candidate> findAll(const QList<PortChoice::Candidate> &candidates);

    const PortChoice::Candidate &chosen() const { return m_chosen; }
    QString biosCode() const { return m_biosCode; }
    // Why the last port could not be opened.
    QString openError() const { return m_openError; }
    // What a search tried, as "path (what happened)", for its summary.
    const QStringList &tried() const { return m_tried; }

private:
    // The search: up to the first port found, or through all of them.
    Result searchPorts(const QList<PortChoice::Candidate> &candidates, QList<PortChoice::Candidate> *found);

    ProgrammerLink &m_link;
    CliOutput &m_output;
    const bool &m_stopped;
    PortChoice::Candidate m_chosen;
    QString m_biosCode;
    QString m_openError;
    QStringList m_tried;
};
