#include "PortChoice.h"

#include "BenchSession.h"
#include "ProgrammerLink.h"
#include "Prompter.h"
#include "TarvoLayout.h"

#include <QComboBox>
#include <QPushButton>
#include <QSignalBlocker>

PortChoice::PortChoice(const TarvoLayout &ui, ProgrammerLink &link, BenchSession &session, Prompter &prompter)
    : m_ui(ui)
    , m_link(link)
    , m_session(session)
    , m_prompter(prompter)
{
}

int PortChoice::chosenIndex(const QComboBox *list)
{
    const int index = list->currentIndex();
    if (index < 0 || list->itemText(index) != list->currentText())
        return -1;
    return index;
}

void PortChoice::rememberEntry()
{
    m_portIndex = m_ui.SelectComPort->currentIndex();
    m_portText = m_ui.SelectComPort->currentText();
}

void PortChoice::restoreEntry()
{
    const QSignalBlocker block(m_ui.SelectComPort);
    m_ui.SelectComPort->setCurrentIndex(m_portIndex);
    m_ui.SelectComPort->setEditText(m_portText);
}

void PortChoice::detect()
{
    rememberEntry();
    if (const std::optional<QString> date = m_link.ReadVersion())
        m_session.setFirmwareDate(*date);
}

void PortChoice::choose()
{
    // Two detections would read each other's replies: while one waits the
    // list keeps the entry it runs on.
    if (m_link.detecting()) {
        restoreEntry();
        return;
    }
    const int index = chosenIndex(m_ui.SelectComPort);
    if (index >= 0 && index < 4) {
        m_session.setFirmwareDate(QString());
        ComPort &port = m_link.port();
        const bool opened = port.setComNumber(uint16_t(index + 1)) && port.open();
        m_session.setPort(m_ui.SelectComPort->itemText(index), port.openedPath());
        if (!opened) {
            m_prompter.defaultError(port.errorString());
            return;
        }
        detect();
    }
    m_ui.CheckTarvo->setFocus();
}

void PortChoice::check()
{
    if (m_link.detecting())
        return;
    if (m_link.port().isOpen()) {
        m_session.setFirmwareDate(QString());
        detect();
    } else {
        m_prompter.error(QStringLiteral("Comport Not Found"));
        m_session.setFirmwareDate(QString());
    }
}
