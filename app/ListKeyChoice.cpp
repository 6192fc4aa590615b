#include "ListKeyChoice.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>

ListKeyChoice::ListKeyChoice(QComboBox *list)
    : QObject(list)
    , m_list(list)
{
    list->installEventFilter(this);
    // A choice made otherwise (the opened list, typing) is the choice.
    connect(list, &QComboBox::activated, this, [this] { m_pending = false; });
    if (QLineEdit *edit = list->lineEdit())
        connect(edit, &QLineEdit::textEdited, this, [this] { m_pending = false; });
}

bool ListKeyChoice::step(int key)
{
    const int count = m_list->count();
    if (count == 0)
        return false;
    const int current = m_list->currentIndex();
    int next = current;
    switch (key) {
    case Qt::Key_Down:
        next = current < 0 ? 0 : current + 1;
        break;
    case Qt::Key_Up:
        next = current < 0 ? 0 : current - 1;
        break;
    case Qt::Key_PageDown:
        next = count - 1;
        break;
    case Qt::Key_PageUp:
        next = 0;
        break;
    default:
        return false;
    }
    next = std::clamp(next, 0, count - 1);
    if (next != current || m_list->currentText() != m_list->itemText(next)) {
        m_list->setCurrentIndex(next);
        // setCurrentIndex leaves the edit alone when the index is unchanged.
        m_list->setEditText(m_list->itemText(next));
        m_pending = true;
    }
    return true;
}

void ListKeyChoice::commit()
{
    if (!m_pending)
        return;
    m_pending = false;
    emit m_list->activated(m_list->currentIndex());
}

bool ListKeyChoice::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_list)
        return false;
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto *key = static_cast<QKeyEvent *>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        if (mods == Qt::NoModifier && step(key->key()))
            return true;
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (m_pending) {
                commit();
                return true;
            }
        } else if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) && m_pending) {
            commit();
            // The handler has put the focus where a choice sends it.
            if (!m_list->hasFocus())
                return true;
        }
        break;
    }
    case QEvent::FocusOut: {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        // Opening the list, or another window coming up, is not leaving it.
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
            commit();
        break;
    }
    default:
        break;
    }
    return false;
}
