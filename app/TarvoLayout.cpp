#include "TarvoLayout.h"

#include "ControlFit.h"
#include "DeviceCatalogue.h"
#include "MenuHintStyle.h"
#include "PercentGauge.h"
#include "TarvoVersion.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>

namespace {

QFont courier(int pixels, bool bold = false)
{
    QFont f(QStringLiteral("Courier"));
    f.setStyleHint(QFont::TypeWriter);
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

const QFont &controlFont()
{
    static const QFont f = courier(15);
    return f;
}

const QFont &buttonFont()
{
    static const QFont f = courier(15, true);
    return f;
}

QGroupBox *group(QWidget *parent, const char *name, int x, int y, int w, int h)
{
    auto *box = new QGroupBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(x, y, w, h);
    box->setFixedSize(w, h);
    return box;
}

// Labels are fixed-size so that a new text never changes a size hint.
QLabel *label(QWidget *parent, const char *name, int x, int y, int w, int h, const QString &text,
              const QFont &font = controlFont())
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setFont(font);
    l->setTextFormat(Qt::PlainText);
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    l->setGeometry(x, y, w, h);
    l->setFixedSize(w, h);
    return l;
}

QPushButton *button(QWidget *parent, const char *name, int x, int y, int w, int h,
                    const QString &text, const QString &hint)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setFont(buttonFont());
    // Outside a dialog this only lets Return and keypad Enter press the
    // button that has the focus, as Space does (foot switches send Enter).
    b->setAutoDefault(true);
    b->setStatusTip(hint);
    b->setGeometry(x, y, w, h);
    b->setFixedSize(w, h);
    return b;
}

QLineEdit *edit(QWidget *parent, const char *name, int x, int y, bool enabled, bool readOnly,
                int maxLength = 0)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setFont(controlFont());
    e->setEnabled(enabled);
    e->setReadOnly(readOnly);
    if (maxLength > 0)
        e->setMaxLength(maxLength);
    e->setGeometry(x, y, 117, 21);
    e->setFixedSize(117, 21);
    ControlFit::fitEdit(e);
    return e;
}

QComboBox *list(QWidget *parent, const char *name, int x, int y, const QStringList &items,
                const QString &hint)
{
    auto *c = new QComboBox(parent);
    c->setObjectName(QLatin1String(name));
    c->setFont(controlFont());
    c->setEditable(true);
    // Typed text must not add entries nor be completed into one: only a
    // chosen entry counts as a choice.
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setCompleter(nullptr);
    c->setMaxVisibleItems(items.size());
    c->addItems(items);
    c->setCurrentIndex(-1);
    c->setStatusTip(hint);
    c->setGeometry(x, y, 117, 21);
    c->setFixedSize(117, 21);
    ControlFit::fitList(c);
    return c;
}

// The label names its field: level with it, its text the field's name for
// assistive technology.
void nameField(QLabel *label, QWidget *field)
{
    ControlFit::fitLabel(label, {label->text()});
    ControlFit::alignWith(label, field);
    label->setBuddy(field);
    field->setAccessibleName(label->text().trimmed());
}

// The caption and the status lines share one column, moved left only as far
// as the longest text needs to stay clear of the group's border.
void fitRunLines(QLabel *caption, const std::array<QLabel *, 6> &lines)
{
    // Status texts are at most 18 characters; captions are of that length too.
    const QStringList longest{caption->text(), QString(18, QLatin1Char('M')), QString(18, QLatin1Char('0'))};
    QList<QLabel *> column(lines.begin(), lines.end());
    column.prepend(caption);
    for (QLabel *label : column)
        ControlFit::fitLabel(label, longest);
    ControlFit::alignColumn(column);
}

QAction *item(QMenu *menu, const char *name, const QString &caption, const QString &hint,
              bool enabled = true)
{
    QAction *a = menu->addAction(caption);
    a->setObjectName(QLatin1String(name));
    a->setStatusTip(hint);
    a->setEnabled(enabled);
    return a;
}

// A menu item linked to a shortcut action: it takes the action's caption and
// shows its shortcut, but only the action (on the window) reacts to the key.
QAction *linkedItem(QMenu *menu, const char *name, QAction *action, const QString &hint)
{
    QAction *a = item(menu, name, action->text(), hint);
    a->setShortcut(action->shortcut());
    a->setShortcutContext(Qt::WidgetShortcut);
    a->setIcon(action->icon());
    return a;
}

QAction *shortcutAction(QMainWindow *window, const char *name, const QString &caption,
                        const QKeySequence &key, const QIcon &icon = {})
{
    auto *a = new QAction(caption, window);
    a->setObjectName(QLatin1String(name));
    a->setShortcut(key);
    a->setShortcutContext(Qt::WindowShortcut);
    a->setIcon(icon);
    window->addAction(a);
    return a;
}

} // namespace

void TarvoLayout::build(QMainWindow *window)
{
    window->setWindowTitle(QStringLiteral(TARVO_PRODUCT_STRING "......Micro Controller Programmer"));
    window->setFont(courier(14));
    QPalette pal = window->palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    window->setPalette(pal);
    window->setAutoFillBackground(true);

    auto *client = new QWidget(window);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(ClientWidth, ClientHeight);
    window->setCentralWidget(client);

    GroupBox4 = group(client, "GroupBox4", 7, 0, 169, 98);
    PassCount = label(GroupBox4, "PassCount", 13, 20, 150, 18, QStringLiteral("Success : 0"));
    FailCount = label(GroupBox4, "FailCount", 13, 46, 150, 18, QStringLiteral("Failure : 0"));
    ControlFit::fitLabel(PassCount, {QStringLiteral("Success : 255")});
    ControlFit::fitLabel(FailCount, {QStringLiteral("Failure : 255")});
    ResetCount = button(GroupBox4, "ResetCount", 52, 72, 72, 20, QStringLiteral("Reset"),
                        QStringLiteral("Reset Status Counter"));

    GroupBox2 = group(client, "GroupBox2", 182, 0, 222, 98);
    LabelComport = label(GroupBox2, "LabelComport", 7, 20, 91, 18, QStringLiteral("Comport "));
    SelectComPort = list(GroupBox2, "SelectComPort", 98, 13,
                         {QStringLiteral("Com1"), QStringLiteral("Com2"), QStringLiteral("Com3"),
                          QStringLiteral("Com4")},
                         QStringLiteral("Select Comport To Connect"));
    LabelVersion = label(GroupBox2, "LabelVersion", 7, 46, 91, 18, QStringLiteral("Bios Code"));
    Tarvo_Code = edit(GroupBox2, "Tarvo_Code", 98, 39, true, true);
    nameField(LabelComport, SelectComPort);
    nameField(LabelVersion, Tarvo_Code);
    ControlFit::alignColumn({LabelComport, LabelVersion});
    CheckTarvo = button(GroupBox2, "CheckTarvo", 78, 72, 72, 20, QStringLiteral("Connect"),
                        QStringLiteral("Check Hardware Connection"));

    GroupBox3 = group(client, "GroupBox3", 7, 98, 169, 202);
    DisplayCommand = label(GroupBox3, "DisplayCommand", 7, 13, 160, 18,
                           QStringLiteral("No Command Select?"), buttonFont());
    DisplayCommand->setAutoFillBackground(true);
    static const int runTops[6] = {33, 52, 72, 91, 111, 130};
    static const char *runNames[6] = {"DisplayRun1", "DisplayRun2", "DisplayRun3",
                                      "DisplayRun4", "DisplayRun5", "DisplayRun6"};
    static const QFont smallFont = courier(11);
    for (int i = 0; i < 6; ++i) {
        const bool small = i >= 3;
        DisplayRun[size_t(i)] = label(GroupBox3, runNames[i], 7, runTops[i], 160, small ? 16 : 18,
                                      QString(), small ? smallFont : controlFont());
        // A fixed name: two lines may show the same text; the text itself
        // is the description (TTarvoForm keeps it current).
        DisplayRun[size_t(i)]->setAccessibleName(QStringLiteral("Status line %1").arg(i + 1));
    }
    fitRunLines(DisplayCommand, DisplayRun);
    PercentRun = new PercentGauge(GroupBox3);
    PercentRun->setObjectName(QStringLiteral("PercentRun"));
    PercentRun->setFont(controlFont());
    PercentRun->setGeometry(7, 150, 156, 20);
    PercentRun->setFixedSize(156, 20);
    PercentRun->hide();
    PercentRun->setAccessibleName(QStringLiteral("Progress"));
    StartRun = button(GroupBox3, "StartRun", 7, 176, 60, 20, QStringLiteral("Run"),
                      QStringLiteral("Run Command"));
    StartRun->setEnabled(false);
    StopRun = button(GroupBox3, "StopRun", 104, 176, 61, 20, QStringLiteral("Exit"),
                     QStringLiteral("Stop or Exit Command"));
    StopRun->setEnabled(false);

    GroupBox1 = group(client, "GroupBox1", 182, 98, 222, 202);
    LabelDeviceName = label(GroupBox1, "LabelDeviceName", 7, 20, 91, 18, QStringLiteral("Device"));
    SelectDevice = list(GroupBox1, "SelectDevice", 98, 13, DeviceCatalogue::names(),
                        QStringLiteral("Select Device To Program"));
    LabelAlgo = label(GroupBox1, "LabelAlgo", 7, 52, 91, 18, QStringLiteral("Algorithm"));
    Device_Algo = edit(GroupBox1, "Device_Algo", 98, 46, false, true, 10);
    LabelVpp = label(GroupBox1, "LabelVpp", 7, 78, 91, 18, QStringLiteral("+VPP Volt"));
    Device_Vpp = edit(GroupBox1, "Device_Vpp", 98, 72, false, true, 10);
    LabelDeviceEnd = label(GroupBox1, "LabelDeviceEnd", 7, 104, 91, 18, QStringLiteral("Device End"));
    Device_End = edit(GroupBox1, "Device_End", 98, 98, false, true, 10);
    LabelFileLoad = label(GroupBox1, "LabelFileLoad", 7, 130, 91, 18, QStringLiteral("File Name"));
    SelectFileName = edit(GroupBox1, "SelectFileName", 98, 124, false, true);
    LabelBufferEnd = label(GroupBox1, "LabelBufferEnd", 7, 156, 91, 18, QStringLiteral("Buffer End"));
    Buffer_End = edit(GroupBox1, "Buffer_End", 98, 150, false, false);
    LabelCheckSum = label(GroupBox1, "LabelCheckSum", 7, 182, 91, 18, QStringLiteral("Checksum"));
    Buffer_Sum = edit(GroupBox1, "Buffer_Sum", 98, 176, false, true, 10);
    nameField(LabelDeviceName, SelectDevice);
    nameField(LabelAlgo, Device_Algo);
    nameField(LabelVpp, Device_Vpp);
    nameField(LabelDeviceEnd, Device_End);
    nameField(LabelFileLoad, SelectFileName);
    nameField(LabelBufferEnd, Buffer_End);
    nameField(LabelCheckSum, Buffer_Sum);
    ControlFit::alignColumn({LabelDeviceName, LabelAlgo, LabelVpp, LabelDeviceEnd, LabelFileLoad, LabelBufferEnd,
                             LabelCheckSum});

    QStyle *style = window->style();
    FileOpen1 = shortcutAction(window, "FileOpen1", QStringLiteral("&Open"), QKeySequence(Qt::CTRL | Qt::Key_O),
                               style->standardIcon(QStyle::SP_DialogOpenButton));
    FileSave1 = shortcutAction(window, "FileSave1", QStringLiteral("&Save"), QKeySequence(Qt::CTRL | Qt::Key_S),
                               style->standardIcon(QStyle::SP_DialogSaveButton));
    FileBuffer = shortcutAction(window, "FileBuffer", QStringLiteral("&Buffer"), QKeySequence(Qt::CTRL | Qt::Key_B),
                                style->standardIcon(QStyle::SP_FileDialogContentsView));
    FileBuffer->setStatusTip(QStringLiteral("Display Hex Buffer"));
    FileExit1 = shortcutAction(window, "FileExit1", QStringLiteral("E&xit"), QKeySequence(Qt::CTRL | Qt::Key_X));
    HelpAbout1 = shortcutAction(window, "HelpAbout1", QStringLiteral("&About..."), QKeySequence(Qt::CTRL | Qt::Key_A));

    QMenuBar *bar = window->menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    bar->setFont(QApplication::font());
    bar->setNativeMenuBar(false);

    File1 = bar->addMenu(QStringLiteral("File"));
    File1->setObjectName(QStringLiteral("File1"));
    File1->menuAction()->setStatusTip(QStringLiteral("Active File Command"));
    FileOpenItem = linkedItem(File1, "FileOpenItem", FileOpen1, QStringLiteral("Open Intel-Hex File To Buffer"));
    FileSaveItem = linkedItem(File1, "FileSaveItem", FileSave1, QStringLiteral("Save Intel-Hex File From Buffer"));
    Buffer1 = linkedItem(File1, "Buffer1", FileBuffer, QStringLiteral("Display Hex Data From Buffer"));
    N1 = File1->addSeparator();
    N1->setObjectName(QStringLiteral("N1"));
    FileExitItem = linkedItem(File1, "FileExitItem", FileExit1, QStringLiteral("Exit Tarvo Application"));

    Operation1 = bar->addMenu(QStringLiteral("Device"));
    Operation1->setObjectName(QStringLiteral("Operation1"));
    Operation1->menuAction()->setStatusTip(QStringLiteral("Active Device Run Command"));
    EraseDevice = item(Operation1, "EraseDevice", QStringLiteral("Erase"), QStringLiteral("Erase Device"), false);
    BlankDevice = item(Operation1, "BlankDevice", QStringLiteral("Blank"), QStringLiteral("Device Data Blank Check"), false);
    ProgramDevice = item(Operation1, "ProgramDevice", QStringLiteral("Program"),
                         QStringLiteral("Program Flash on Device From Buffer"), false);
    VerifyDevice = item(Operation1, "VerifyDevice", QStringLiteral("Verify"),
                        QStringLiteral("Verify Flash on Device With Buffer"), false);
    Lock1 = item(Operation1, "Lock1", QStringLiteral("Lock1"), QStringLiteral("Program Lock Bit 1"), false);
    Lock2 = item(Operation1, "Lock2", QStringLiteral("Lock2"), QStringLiteral("Program Lock Bit 1,2"), false);
    Lock3 = item(Operation1, "Lock3", QStringLiteral("Lock3"), QStringLiteral("Program Lock Bit 1,2,3"), false);
    Fuse = item(Operation1, "Fuse", QStringLiteral("Fuse"), QStringLiteral("Edit & Display Fuse Bit"), false);
    ReadDevice = item(Operation1, "ReadDevice", QStringLiteral("Read"),
                      QStringLiteral("Read Flash From Device To Buffer"), false);
    AutoProgram = item(Operation1, "AutoProgram", QStringLiteral("Auto"), QString(), false);

    Help1 = bar->addMenu(QStringLiteral("Help"));
    Help1->setObjectName(QStringLiteral("Help1"));
    Help1->menuAction()->setStatusTip(QStringLiteral("Help topics"));
    TarvoHelpItem = item(Help1, "TarvoHelpItem", QStringLiteral("Tarvo Help Thai"), QStringLiteral("Tarvo V3.0 User Help"));
    HelpEnglish1 = item(Help1, "HelpEnglish1", QStringLiteral("Tarvo Help English"), QString());
    // Two-part hint "About|Displays ..."; the status bar shows the second part.
    HelpAboutItem = linkedItem(Help1, "HelpAboutItem", HelpAbout1,
                               QStringLiteral("Displays Program Information, Version Number, and Copyright"));
    // Disabled items highlight too, so that their hints can be read.
    auto *menuStyle = new MenuHintStyle(window);
    for (QMenu *menu : {File1, Operation1, Help1})
        menu->setStyle(menuStyle);

    StatusBar = window->statusBar();
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setAccessibleName(QStringLiteral("Status bar"));
    StatusBar->setFont(QApplication::font());
    StatusBar->setSizeGripEnabled(false);
    StatusBar->setFixedHeight(StatusBarHeight);

    window->ensurePolished();
    window->setFixedSize(window->sizeHint());
}
