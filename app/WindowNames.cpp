#include "WindowNames.h"

#include "TarvoLayout.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
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

    // The status bar is heard by the message it shows (a detection's result,
    // the hint of the menu item under the cursor); with none, by what it is.
    QStatusBar *bar = ui.StatusBar;
    const QString idleName = bar->accessibleName();
    QObject::connect(bar, &QStatusBar::messageChanged, bar, [bar, idleName](const QString &message) {
        bar->setAccessibleName(message.isEmpty() ? idleName : message);
    });
}

} // namespace WindowNames
