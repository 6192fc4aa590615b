#include "TarvoApplication.h"

#include "MessageBoxPrompter.h"
#include "Prompter.h"

#include <exception>

TarvoApplication::TarvoApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(MessageBoxPrompter::Title);
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
