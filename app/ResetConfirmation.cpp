#include "ResetConfirmation.h"

#include "Prompter.h"

#include <QAbstractButton>
#include <QEvent>

ResetConfirmation::ResetConfirmation(QAbstractButton *reset, Prompter &prompter)
    : QObject(reset)
    , m_prompter(prompter)
{
    reset->installEventFilter(this);
}

bool ResetConfirmation::allowed()
{
    const bool mouse = m_mouseClick;
    m_mouseClick = false;
    return mouse || m_prompter.confirmNoDefault(Question);
}

bool ResetConfirmation::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonRelease:
        m_mouseClick = true;
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
        m_mouseClick = false;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
