#include "ListKeyChoice.h"

#include <QAbstractItemView>
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
        if (!m_pending) {
            m_chosenIndex = current;
            m_chosenText = m_list->currentText();
        }
        m_list->setCurrentIndex(next);
        // setCurrentIndex leaves the edit alone when the index is unchanged.
        m_list->setEditText(m_list->itemText(next));
        m_pending = true;
    }
    return true;
}

void ListKeyChoice::revert()
{
    if (!m_pending)
        return;
    m_pending = false;
    m_list->setCurrentIndex(m_chosenIndex);
    m_list->setEditText(m_chosenText);
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
    case QEvent::FocusOut:
        // The operator moved on (a click elsewhere, a mnemonic): that
        // chooses. The list's own popup opening keeps the entry waiting.
        // Anything else (another window, a menu, the window closing) is
        // no choice: the list shows the entry chosen before.
        // Disabling a list moves the focus on as Tab would: not a choice.
        if (!m_list->isEnabled()) {
            revert();
            break;
        }
        switch (static_cast<QFocusEvent *>(event)->reason()) {
        case Qt::MouseFocusReason:
        case Qt::TabFocusReason:
        case Qt::BacktabFocusReason:
        case Qt::ShortcutFocusReason:
            commit();
            break;
        case Qt::PopupFocusReason:
            if (!m_list->view()->isVisible())
                revert();
            break;
        default:
            revert();
            break;
        }
        break;
    case QEvent::EnabledChange:
        // Locked by a command chosen from the menu meanwhile: the command
        // runs on the entry chosen before, which the list must show.
        if (!m_list->isEnabled())
            revert();
        break;
    default:
        break;
    }
    return false;
}
