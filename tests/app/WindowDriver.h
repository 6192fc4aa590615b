#pragma once

#include <QAbstractItemView>
#include <QComboBox>
#include <QTest>

// What the window tests do to the window the way the operator does it.
namespace WindowDriver {

// The control of that object name below root; a test cannot go on without it.
template <typename T>
T *control(QObject *root, const char *name)
{
    T *w = root->findChild<T *>(QLatin1String(name));
    if (!w)
        qFatal("no control %s", name);
    return w;
}

// Picks an entry of a list by opening it and clicking the entry; the
// handlers, a detection included, have run when this returns.
inline void chooseEntry(QComboBox *list, int index)
{
    list->showPopup();
    QAbstractItemView *view = list->view();
    if (!QTest::qWaitForWindowExposed(view->window()))
        qFatal("list did not open");
    const QModelIndex entry = view->model()->index(index, 0);
    view->scrollTo(entry);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(entry).center());
}

} // namespace WindowDriver
