#pragma once

#include <QApplication>
#include <QPointer>

class QTimer;

class Prompter;

// The application object. It keeps held keys from pressing buttons again
// (KeyRepeatGuard) in every window. An exception that escapes an event handler ends
// up here: it is shown in the default error box and the program goes on
// with the next event.
class TarvoApplication : public QApplication
{
    Q_OBJECT
public:
    TarvoApplication(int &argc, char **argv);

    void setPrompter(Prompter *prompter) { m_prompter = prompter; }

    // SIGTERM, SIGHUP and SIGINT close `window` as its close box does: a
    // running exchange ends as a confirmed stop would, CAN goes out and the
    // port closes. A box left open over the window is closed as Escape
    // would, since it holds the handler (and so the close) under it. The
    // program then ends.
    void closeOnSignals(QWidget *window);

    bool notify(QObject *receiver, QEvent *event) override;

private:
    void closeStep();

    Prompter *m_prompter = nullptr;
    QPointer<QWidget> m_closing;
    QTimer *m_closeTimer = nullptr;
};
