#pragma once

#include <QString>

class BenchSession;
class ProgrammerLink;
class Prompter;
class QComboBox;
struct TarvoLayout;

// The port list and the Connect button: opening the chosen port, detecting
// the programmer on it, and the firmware date and port it leaves in the
// session.
class PortChoice
{
public:
    PortChoice(const TarvoLayout &ui, ProgrammerLink &link, BenchSession &session, Prompter &prompter);

    // The entry chosen in a list, or -1 while its edit shows other text
    // (nothing chosen yet, or the operator typed).
    static int chosenIndex(const QComboBox *list);

    // An entry of the port list was chosen or typed.
    void choose();
    // Connect: the detection again on the open port.
    void check();

private:
    void rememberEntry();
    void restoreEntry();
    void detect();

    const TarvoLayout &m_ui;
    ProgrammerLink &m_link;
    BenchSession &m_session;
    Prompter &m_prompter;
    // The entry a detection runs on, put back if the list is changed while
    // it waits.
    int m_portIndex = -1;
    QString m_portText;
};
