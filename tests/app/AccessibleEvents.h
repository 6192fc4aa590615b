#pragma once

#include <QAccessible>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

// Qt hands accessibility events on only while the platform's accessibility
// is on, and on the offscreen platform nothing turns it on. These few
// declarations reach Qt's platform interface (exported, but without public
// headers) to turn it on, as an AT-SPI client would on a desktop.
class QPlatformAccessibility
{
public:
    void setActive(bool active);
};
class QPlatformIntegration
{
public:
    QPlatformAccessibility *accessibility() const;
};
class QGuiApplicationPrivate
{
public:
    static QPlatformIntegration *platform_integration;
};

// Counts the accessibility events the program sends, by object and type,
// and keeps the name each name event told.
class AccessibleEvents
{
public:
    AccessibleEvents()
    {
        if (QPlatformIntegration *platform = QGuiApplicationPrivate::platform_integration)
            if (QPlatformAccessibility *accessibility = platform->accessibility())
                accessibility->setActive(true);
        s_current = this;
        m_previous = QAccessible::installUpdateHandler(&AccessibleEvents::record);
    }
    ~AccessibleEvents()
    {
        QAccessible::installUpdateHandler(m_previous);
        s_current = nullptr;
    }
    AccessibleEvents(const AccessibleEvents &) = delete;
    AccessibleEvents &operator=(const AccessibleEvents &) = delete;

    static bool active() { return QAccessible::isActive(); }

    int count(const QObject *object, QAccessible::Event type) const { return m_counts.value({object, type}); }
    QStringList names(const QObject *object) const { return m_names.value(object); }
    void clear()
    {
        m_counts.clear();
        m_names.clear();
    }

private:
    static void record(QAccessibleEvent *event)
    {
        AccessibleEvents *self = s_current;
        if (!self)
            return;
        const QObject *object = event->object();
        ++self->m_counts[{object, event->type()}];
        if (event->type() == QAccessible::NameChanged)
            if (QAccessibleInterface *iface = event->accessibleInterface())
                self->m_names[object] << iface->text(QAccessible::Name);
        if (self->m_previous)
            self->m_previous(event);
    }

    static inline AccessibleEvents *s_current = nullptr;
    QAccessible::UpdateHandler m_previous = nullptr;
    QHash<QPair<const QObject *, QAccessible::Event>, int> m_counts;
    QHash<const QObject *, QStringList> m_names;
};
