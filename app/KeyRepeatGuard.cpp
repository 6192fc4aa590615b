#include "KeyRepeatGuard.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

KeyRepeatGuard *KeyRepeatGuard::s_guard = nullptr;

KeyRepeatGuard::KeyRepeatGuard(QObject *parent)
    : QObject(parent)
{
    s_guard = this;
    qApp->installEventFilter(this);
}

KeyRepeatGuard::~KeyRepeatGuard()
{
    if (s_guard == this)
        s_guard = nullptr;
}

void KeyRepeatGuard::focusMoved()
{
    if (s_guard)
        s_guard->m_settling.start();
}

static bool pressKey(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
}

// Space held in a text field types blanks, which is no press of a button.
static bool typesText(const QObject *target)
{
    return qobject_cast<const QLineEdit *>(target) || qobject_cast<const QTextEdit *>(target)
           || qobject_cast<const QPlainTextEdit *>(target);
}

bool KeyRepeatGuard::eventFilter(QObject *watched, QEvent *event)
{
    // A key event passes the filter once for the window, then for each
    // widget it is offered to: one decision at the first widget suffices.
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    if (!pressKey(key->key()))
        return false;
    const bool repeat = key->isAutoRepeat() && !(key->key() == Qt::Key_Space && typesText(watched));
    const bool settling = m_settling.isValid() && !m_settling.hasExpired(SettleMs);
    if (!repeat && !settling)
        return false;
    ++m_dropped;
    key->accept();
    return true;
}
