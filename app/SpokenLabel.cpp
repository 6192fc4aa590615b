#include "SpokenLabel.h"

#include "AnnouncePacer.h"

#include <QLabel>

SpokenLabel::SpokenLabel(QLabel *label)
    : QObject(label)
    , m_label(label)
    , m_emptyName(label->accessibleName())
    , m_pacer(new AnnouncePacer([this] { tell(); }, this))
{
    setObjectName(QStringLiteral("SpokenLabel"));
}

void SpokenLabel::textChanged(QLabel *label)
{
    auto *spoken = label->findChild<SpokenLabel *>(QString(), Qt::FindDirectChildrenOnly);
    if (!spoken)
        spoken = new SpokenLabel(label);
    spoken->m_pacer->changed();
}

void SpokenLabel::flushAll(QObject *root)
{
    for (SpokenLabel *spoken : root->findChildren<SpokenLabel *>())
        spoken->m_pacer->flush();
}

void SpokenLabel::tell()
{
    // Never an empty name: the label would then fall back to its text and
    // tell every change itself.
    const QString text = m_label->text();
    m_label->setAccessibleName(text.isEmpty() ? m_emptyName : text);
}
