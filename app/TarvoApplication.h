#pragma once

#include <QApplication>

class Prompter;

// The application object. An exception that escapes an event handler ends
// up here: it is shown in the default error box and the program goes on
// with the next event.
class TarvoApplication : public QApplication
{
    Q_OBJECT
public:
    TarvoApplication(int &argc, char **argv);

    void setPrompter(Prompter *prompter) { m_prompter = prompter; }

    bool notify(QObject *receiver, QEvent *event) override;

private:
    Prompter *m_prompter = nullptr;
};
