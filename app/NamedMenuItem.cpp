#include "NamedMenuItem.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace {

QAccessibleInterface *namedItemFactory(const QString &key, QObject *object)
{
    auto *action = qobject_cast<QAction *>(object);
    if (key != QLatin1String("QAction") || !action || !action->property(NamedMenuItem::NameProperty).isValid())
        return nullptr;
    for (QObject *o : action->associatedObjects())
        if (qobject_cast<QMenu *>(o) || qobject_cast<QMenuBar *>(o))
            return new NamedMenuItem(action, static_cast<QWidget *>(o));
    return nullptr;
}

QRect actionGeometry(QWidget *owner, QAction *action)
{
    if (auto *menu = qobject_cast<QMenu *>(owner))
        return menu->actionGeometry(action);
    if (auto *bar = qobject_cast<QMenuBar *>(owner))
        return bar->actionGeometry(action);
    return {};
}

} // namespace

void NamedMenuItem::name(QAction *action, const QString &name)
{
    static const bool installed = [] {
        QAccessible::installFactory(namedItemFactory);
        return true;
    }();
    Q_UNUSED(installed);
    action->setProperty(NameProperty, name);
}

NamedMenuItem::NamedMenuItem(QAction *action, QWidget *owner)
    : m_action(action)
    , m_owner(owner)
{
}

bool NamedMenuItem::isValid() const
{
    return m_action && m_owner;
}

QObject *NamedMenuItem::object() const
{
    return m_action;
}

QWindow *NamedMenuItem::window() const
{
    return m_owner ? m_owner->window()->windowHandle() : nullptr;
}

QAccessibleInterface *NamedMenuItem::focusChild() const
{
    return nullptr;
}

QAccessibleInterface *NamedMenuItem::childAt(int, int) const
{
    return nullptr;
}

QAccessibleInterface *NamedMenuItem::parent() const
{
    return QAccessible::queryAccessibleInterface(m_owner);
}

// A menu bar's item holds its menu.
QAccessibleInterface *NamedMenuItem::child(int index) const
{
    if (index == 0 && m_action && m_action->menu())
        return QAccessible::queryAccessibleInterface(m_action->menu());
    return nullptr;
}

int NamedMenuItem::childCount() const
{
    return m_action && m_action->menu() ? 1 : 0;
}

int NamedMenuItem::indexOfChild(const QAccessibleInterface *child) const
{
    return child && childCount() == 1 && child->object() == m_action->menu() ? 0 : -1;
}

QString NamedMenuItem::text(QAccessible::Text t) const
{
    if (!m_action)
        return {};
    switch (t) {
    case QAccessible::Name:
        return m_action->property(NameProperty).toString();
    case QAccessible::Description:
        return m_action->statusTip();
    case QAccessible::Accelerator:
        return m_action->shortcut().toString(QKeySequence::NativeText);
    default:
        return {};
    }
}

QRect NamedMenuItem::rect() const
{
    if (!isValid())
        return {};
    const QRect r = actionGeometry(m_owner, m_action);
    return QRect(m_owner->mapToGlobal(r.topLeft()), r.size());
}

QAccessible::Role NamedMenuItem::role() const
{
    return QAccessible::MenuItem;
}

QAccessible::State NamedMenuItem::state() const
{
    QAccessible::State s;
    if (!isValid())
        return s;
    if (!m_owner->isVisible() || !m_action->isVisible())
        s.invisible = true;
    if (auto *menu = qobject_cast<QMenu *>(m_owner))
        s.focused = menu->activeAction() == m_action;
    else if (auto *bar = qobject_cast<QMenuBar *>(m_owner))
        s.focused = bar->activeAction() == m_action;
    s.disabled = !m_action->isEnabled();
    s.hasPopup = m_action->menu() != nullptr;
    return s;
}

void *NamedMenuItem::interface_cast(QAccessible::InterfaceType type)
{
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
}

QStringList NamedMenuItem::actionNames() const
{
    if (!m_action || !m_action->isEnabled())
        return {};
    return {m_action->menu() ? showMenuAction() : pressAction()};
}

void NamedMenuItem::doAction(const QString &actionName)
{
    if (!m_action || !m_action->isEnabled())
        return;
    if (actionName == pressAction() && !m_action->menu()) {
        m_action->trigger();
    } else if (actionName == showMenuAction() && m_action->menu()) {
        if (auto *bar = qobject_cast<QMenuBar *>(m_owner))
            bar->setActiveAction(m_action);
    }
}

QStringList NamedMenuItem::keyBindingsForAction(const QString &) const
{
    return {};
}
