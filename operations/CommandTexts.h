#pragma once

#include <QString>

// The operator's texts of one device command: its caption while armed and
// what its status line shows. Captions and outcome texts are 18 characters,
// running texts 10, prefixes 14 (followed by four characters).
struct CommandTexts
{
    QString caption;
    QString running;
    // Followed by the address of the byte in transfer.
    QString progressPrefix;
    QString timeOut;
    // A wait that failed after a confirmed stop.
    QString breakText;
    // The NAK reply of a single-reply command.
    QString fail;
    // Followed by the characters the programmer reports after NAK.
    QString failReportPrefix;
    // An unexpected reply byte.
    QString error;
    QString checksumError;
    QString pass;

    static const CommandTexts &erase();
    static const CommandTexts &blank();
    static const CommandTexts &lock1();
    static const CommandTexts &lock2();
    static const CommandTexts &lock3();
    static const CommandTexts &program();
    static const CommandTexts &verify();
    static const CommandTexts &read();
    // The whole Auto command: its caption and its final pass text.
    static const CommandTexts &autoProgram();
    // The lock step of Auto, at the device's own lock level.
    static const CommandTexts &autoLock();

    static QString commandAbort() { return QStringLiteral("Command......Abort"); }
    static QString noCommand() { return QStringLiteral("No Command Select?"); }
    static QString notConnected() { return QStringLiteral("Comport Not Connect"); }
};
