#include "TarvoApplication.h"

#include "KeyRepeatGuard.h"
#include "MessageBoxPrompter.h"
#include "Prompter.h"
#include "StopSignal.h"

#include <QTimer>

#include <exception>

TarvoApplication::TarvoApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(MessageBoxPrompter::Title);
    new KeyRepeatGuard(this);
}

bool TarvoApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        if (m_prompter)
            m_prompter->defaultError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        if (m_prompter)
            m_prompter->defaultError(QStringLiteral("Unknown error"));
    }
    return false;
}

void TarvoApplication::closeOnSignals(QWidget *window)
{
    m_closing = window;
    auto *endSignals = new StopSignal(this);
    m_closeTimer = new QTimer(this);
    // Until the window has closed: a handler may still unwind, or show
    // another box on its way out.
    m_closeTimer->setInterval(50);
    connect(m_closeTimer, &QTimer::timeout, this, &TarvoApplication::closeStep);
    connect(endSignals, &StopSignal::stopRequested, this, [this] {
        if (!m_closeTimer->isActive()) {
            m_closeTimer->start();
            closeStep();
        }
    });
}

void TarvoApplication::closeStep()
{
    QWidget *modal = activeModalWidget();
    if (modal && modal != m_closing)
        modal->close();
    if (!m_closing || !m_closing->isVisible()) {
        m_closeTimer->stop();
        quit();
        return;
    }
    m_closing->close();
}
