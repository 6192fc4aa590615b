#pragma once

#include "CliFuseView.h"
#include "FuseExchange.h"

#include <QStringList>
#include <cstdint>

class CliOutput;
class ProgrammerLink;
struct SelectionState;

// fuse-read and fuse-write: the fuse editor's own exchanges (FuseExchange)
// without the dialog, reported as status lines and the five bit states.
class FuseCommands
{
public:
    FuseCommands(ProgrammerLink &link, const SelectionState &selection, CliOutput &output);

    // What opening the editor does: the reads of the device's type.
    bool read();
    // Write with read-back, as the editor's Write button.
    bool write(uint8_t value);

    bool busy() const { return m_exchange.busy(); }
    void requestStop() { m_exchange.requestStop(); }
    void setReplyTimeoutMs(int ms) { m_exchange.setReplyTimeoutMs(ms); }

    // Values the device's fuse layout can write (every bit it does not
    // write is 0), in ascending order; empty for a device without fuses.
    static QList<uint8_t> writableValues(const QString &typeCode);

private:
    void reportBits();
    QString failureText() const;

    const SelectionState &m_selection;
    CliOutput &m_output;
    CliFuseView m_view;
    FuseExchange m_exchange;
};
