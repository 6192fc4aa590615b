#include "WindowNames.h"

#include "NamedMenuItem.h"
#include "TarvoLayout.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>

namespace WindowNames {

void nameMainWindow(const TarvoLayout &ui)
{
    for (QComboBox *list : {ui.SelectComPort, ui.SelectDevice}) {
        const QString name = list->accessibleName();
        if (QLineEdit *edit = list->lineEdit())
            edit->setAccessibleName(name + QStringLiteral(" text"));
        list->view()->setAccessibleName(name + QStringLiteral(" list"));
    }

    // Exit and Device are also a button and a list: the menu's items say
    // what they are, as their hints in the status bar do.
    NamedMenuItem::name(ui.FileExitItem, QStringLiteral("Exit Tarvo Application"));
    NamedMenuItem::name(ui.Operation1->menuAction(), QStringLiteral("Device menu"));

    // The status bar is heard by the message it shows (a detection's result,
    // the hint of the menu item under the cursor); with none, by what it is.
    QStatusBar *bar = ui.StatusBar;
    const QString idleName = bar->accessibleName();
    QObject::connect(bar, &QStatusBar::messageChanged, bar, [bar, idleName](const QString &message) {
        bar->setAccessibleName(message.isEmpty() ? idleName : message);
    });
}

} // namespace WindowNames
