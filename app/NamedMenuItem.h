#pragma once

#include <QAccessibleActionInterface>
#include <QAccessibleInterface>
#include <QPointer>

class QAction;
class QWidget;

// A menu item heard by a name of its own rather than its caption: Qt names
// a menu item by its text only, so File > Exit and the Exit button, or the
// Device menu and the Device list, would share one name. An action given
// the property "accessibleName" is told by that name; everything else is as
// a menu item of the menu bar or a menu is.
class NamedMenuItem : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    static constexpr const char *NameProperty = "accessibleName";

    // Gives action its own name; the first call installs the factory.
    static void name(QAction *action, const QString &name);

    NamedMenuItem(QAction *action, QWidget *owner);

    bool isValid() const override;
    QObject *object() const override;
    QWindow *window() const override;
    QAccessibleInterface *focusChild() const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QAccessibleInterface *parent() const override;
    QAccessibleInterface *child(int index) const override;
    int childCount() const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    void *interface_cast(QAccessible::InterfaceType type) override;

    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;
    QStringList keyBindingsForAction(const QString &actionName) const override;

private:
    QPointer<QAction> m_action;
    QPointer<QWidget> m_owner;
};
