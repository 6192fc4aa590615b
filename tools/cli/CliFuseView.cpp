#include "CliFuseView.h"

void CliFuseView::setResult(const QString &text)
{
    m_results.append(text);
}

void CliFuseView::setDisplay(FuseLayout::Target target, const QString &text)
{
    m_displays[index(target)] = text;
}

void CliFuseView::setChoice(FuseLayout::Target target, int item)
{
    m_choices[index(target)] = item;
}

int CliFuseView::choice(FuseLayout::Target target) const
{
    return m_choices[index(target)];
}

void CliFuseView::setFuseName(FuseLayout::Target, const QString &) {}

void CliFuseView::clear()
{
    m_displays.fill(QString());
    m_results.clear();
}
