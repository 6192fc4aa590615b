#include "CommandTexts.h"

namespace {

// The single-reply commands share one pattern: the name padded to the
// outcome word with full stops.
CommandTexts singleReply(const char *caption, const char *running, const char *timeOut, const char *fail,
                         const char *error, const char *pass)
{
    CommandTexts t;
    t.caption = QString::fromLatin1(caption);
    t.running = QString::fromLatin1(running);
    t.timeOut = QString::fromLatin1(timeOut);
    t.fail = QString::fromLatin1(fail);
    t.error = QString::fromLatin1(error);
    t.pass = QString::fromLatin1(pass);
    return t;
}

CommandTexts blockTransfer(const char *caption, const char *running, const char *prefix, const char *timeOut,
                           const char *breakText, const char *failPrefix, const char *error, const char *pass)
{
    CommandTexts t;
    t.caption = QString::fromLatin1(caption);
    t.running = QString::fromLatin1(running);
    t.progressPrefix = QString::fromLatin1(prefix);
    t.timeOut = QString::fromLatin1(timeOut);
    t.breakText = QString::fromLatin1(breakText);
    t.failReportPrefix = QString::fromLatin1(failPrefix);
    t.error = QString::fromLatin1(error);
    t.pass = QString::fromLatin1(pass);
    return t;
}

} // namespace

const CommandTexts &CommandTexts::erase()
{
    static const CommandTexts t = singleReply("   Erase Device   ", "Erase.....", "Erase.....Time-Out",
                                              "Erase.........Fail", "Erase........Error", "Erase.........Pass");
    return t;
}

const CommandTexts &CommandTexts::blank()
{
    static const CommandTexts t = singleReply("Blank Check Device", "Blank.....", "Blank.....Time-Out",
                                              "Blank.........Fail", "Blank Check..Error", "Blank.........Pass");
    return t;
}

const CommandTexts &CommandTexts::lock1()
{
    static const CommandTexts t = singleReply("Lock 1-Bit Device ", "Lock1.....", "Lock1.....Time-Out",
                                              "Lock1.........Fail", "Lock1........Error", "Lock1.........Pass");
    return t;
}

const CommandTexts &CommandTexts::lock2()
{
    static const CommandTexts t = singleReply("Lock 2-Bit Device ", "Lock1,2...", "Lock1,2...Time-Out",
                                              "Lock1,2.......Fail", "Lock1,2......Error", "Lock1,2.......Pass");
    return t;
}

const CommandTexts &CommandTexts::lock3()
{
    static const CommandTexts t = singleReply("Lock 3-Bit Device ", "Lock1,2,3.", "Lock1,2,3.Time-Out",
                                              "Lock1,2,3.....Fail", "Lock1,2,3....Error", "Lock1,2,3.....Pass");
    return t;
}

const CommandTexts &CommandTexts::autoLock()
{
    static const CommandTexts t = singleReply("", "Lock......", "Lock......Time-Out",
                                              "Lock..........Fail", "Lock.........Error", "Lock..........Pass");
    return t;
}

const CommandTexts &CommandTexts::program()
{
    static const CommandTexts t =
        blockTransfer("  Program Device  ", "Program...", "Program.......", "Program...Time-Out",
                      "Program......Break", "Program..Fail:", "Program......Error", "Program.......Pass");
    return t;
}

const CommandTexts &CommandTexts::verify()
{
    static const CommandTexts t =
        blockTransfer("  Verify Device   ", "Verify....", "Verify........", "Verify....Time-Out",
                      "Verify.......Break", "Verify...Fail:", "Verify.......Error", "Verify........Pass");
    return t;
}

const CommandTexts &CommandTexts::read()
{
    static const CommandTexts t = [] {
        CommandTexts r = blockTransfer("   Read Device    ", "Read......", "Read..........", "Read......Time-Out",
                                       "Read.........Break", "", "Read.........Error", "Read..........Pass");
        r.checksumError = QStringLiteral("ReadChecksum Error");
        return r;
    }();
    return t;
}

const CommandTexts &CommandTexts::autoProgram()
{
    static const CommandTexts t = [] {
        CommandTexts a;
        a.caption = QStringLiteral("   Auto Program   ");
        a.running = CommandTexts::erase().running;
        a.pass = QStringLiteral("Auto Program..Pass");
        return a;
    }();
    return t;
}
