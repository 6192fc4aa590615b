#pragma once

#include <array>

class PercentGauge;
class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QPushButton;
class QStatusBar;

// Every control of the main window, at fixed positions (no layouts: a
// status line changes at every byte, and fixed-size widgets keep those
// changes from rippling through size hints). Object names are the control
// names the program's handlers are written against.
struct TarvoLayout
{
    static constexpr int ClientWidth = 408;
    static constexpr int ClientHeight = 333;
    static constexpr int StatusBarHeight = 26;

    void build(QMainWindow *window);

    QGroupBox *GroupBox4 = nullptr;
    QLabel *PassCount = nullptr;
    QLabel *FailCount = nullptr;
    QPushButton *ResetCount = nullptr;

    QGroupBox *GroupBox2 = nullptr;
    QLabel *LabelComport = nullptr;
    QComboBox *SelectComPort = nullptr;
    QLabel *LabelVersion = nullptr;
    QLineEdit *Tarvo_Code = nullptr;
    QPushButton *CheckTarvo = nullptr;

    QGroupBox *GroupBox3 = nullptr;
    QLabel *DisplayCommand = nullptr;
    // DisplayRun1 .. DisplayRun6
    std::array<QLabel *, 6> DisplayRun{};
    PercentGauge *PercentRun = nullptr;
    QPushButton *StartRun = nullptr;
    QPushButton *StopRun = nullptr;

    QGroupBox *GroupBox1 = nullptr;
    QLabel *LabelDeviceName = nullptr;
    QComboBox *SelectDevice = nullptr;
    QLabel *LabelAlgo = nullptr;
    QLineEdit *Device_Algo = nullptr;
    QLabel *LabelVpp = nullptr;
    QLineEdit *Device_Vpp = nullptr;
    QLabel *LabelDeviceEnd = nullptr;
    QLineEdit *Device_End = nullptr;
    QLabel *LabelFileLoad = nullptr;
    QLineEdit *SelectFileName = nullptr;
    QLabel *LabelBufferEnd = nullptr;
    QLineEdit *Buffer_End = nullptr;
    QLabel *LabelCheckSum = nullptr;
    QLineEdit *Buffer_Sum = nullptr;

    QStatusBar *StatusBar = nullptr;

    QMenu *File1 = nullptr;
    QAction *FileOpenItem = nullptr;
    QAction *FileSaveItem = nullptr;
    QAction *Buffer1 = nullptr;
    QAction *N1 = nullptr;
    QAction *FileExitItem = nullptr;

    QMenu *Operation1 = nullptr;
    QAction *EraseDevice = nullptr;
    QAction *BlankDevice = nullptr;
    QAction *ProgramDevice = nullptr;
    QAction *VerifyDevice = nullptr;
    QAction *Lock1 = nullptr;
    QAction *Lock2 = nullptr;
    QAction *Lock3 = nullptr;
    QAction *Fuse = nullptr;
    QAction *ReadDevice = nullptr;
    QAction *AutoProgram = nullptr;

    QMenu *Help1 = nullptr;
    QAction *TarvoHelpItem = nullptr;
    QAction *HelpEnglish1 = nullptr;
    QAction *HelpAboutItem = nullptr;

    // The actions that hold the keyboard shortcuts (the menu items above
    // only show them).
    QAction *FileOpen1 = nullptr;
    QAction *FileSave1 = nullptr;
    QAction *FileBuffer = nullptr;
    QAction *FileExit1 = nullptr;
    QAction *HelpAbout1 = nullptr;

    // A key: the action on the window that holds it, the menu item it acts
    // through and that item's menu.
    struct Shortcut
    {
        QAction *action;
        QAction *item;
        QMenu *menu;
    };
    std::array<Shortcut, 5> shortcuts() const
    {
        return {{{FileOpen1, FileOpenItem, File1},
                 {FileSave1, FileSaveItem, File1},
                 {FileBuffer, Buffer1, File1},
                 {FileExit1, FileExitItem, File1},
                 {HelpAbout1, HelpAboutItem, Help1}}};
    }

    std::array<QAction *, 10> deviceItems() const
    {
        return {EraseDevice, BlankDevice, ProgramDevice, VerifyDevice, Lock1,
                Lock2, Lock3, Fuse, ReadDevice, AutoProgram};
    }
};
