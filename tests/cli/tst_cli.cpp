// tarvo-cli as a process against the emulated programmer: every command,
// every exit code, the stop by Ctrl+C and the JSON events.
#include "EmulatorReceived.h"
#include "CliProcess.h"
#include "EmulatorFault.h"
#include "HexFileLoader.h"
#include "HexFileWriter.h"
#include "MemoryBuffer.h"
#include "ProgrammerEmulator.h"
#include "TerminalProgress.h"

#include "PtyPair.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <memory>

using Fault = EmulatorFault;
using Event = EmulatorFault::Event;
using Action = EmulatorFault::Action;

Q_DECLARE_METATYPE(EmulatorFault)

namespace {

constexpr char CAN = 0x18;

QByteArray randomImage(int size)
{
    QByteArray image(size, Qt::Uninitialized);
    QRandomGenerator gen(size);
    for (char &c : image)
        c = char(gen.bounded(256));
    return image;
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ProgrammerEmulator> emu;
    std::unique_ptr<QTemporaryDir> dir;

    QString path() const { return emu->slavePath(); }
    QStringList detected() const
    {
        return {QStringLiteral("Search Hardware On %1 OK").arg(path()), QStringLiteral("Bios Code 15/08/2003")};
    }
    QStringList args(const QString &device, const QStringList &rest) const
    {
        return QStringList{QStringLiteral("--port"), path(), QStringLiteral("--device"), device} + rest;
    }
    // The image as a file written by the program's own writer, 0..end.
    QString hexFile(const QByteArray &image, uint16_t end, const QString &name = QStringLiteral("image.hex"))
    {
        MemoryBuffer buffer;
        buffer.fill(0xFF);
        for (int a = 0; a < image.size(); ++a)
            buffer.set(uint16_t(a), uint8_t(image.at(a)));
        const QString file = dir->filePath(name);
        QFile f(file);
        f.open(QIODevice::WriteOnly);
        f.write(HexFileWriter::image(buffer, end));
        return file;
    }
    // What tarvo-cli writes to a terminal of that width, escapes to erase
    // the rest of a line removed; it must pass.
    QByteArray onTerminal(const QStringList &arguments, int columns)
    {
        PtyPair terminal;
        terminal.setWindowSize(columns);
        CliProcess cli(arguments);
        cli.setOutputTerminal(terminal.slavePath());
        cli.start();
        QByteArray shown;
        QElapsedTimer clock;
        clock.start();
        // Read while it runs: a full terminal would block the program.
        while (!cli.ended(20) && clock.elapsed() < 60000)
            shown += terminal.drain(20);
        const auto r = cli.finish();
        shown += terminal.drain(100);
        if (r.exitCode != 0)
            qWarning("exit code %d", r.exitCode);
        return shown.replace("\x1b[K", "");
    }
    QString textFile(const QByteArray &content)
    {
        const QString file = dir->filePath(QStringLiteral("text.hex"));
        QFile f(file);
        f.open(QIODevice::WriteOnly);
        f.write(content);
        return file;
    }
    // What the program sent after the frame whose word starts with `code`.
    QByteArray sentAfterFrame(const QByteArray &code) const
    {
        for (const ReceivedFrame &f : emu->frames())
            if (f.word.startsWith(code))
                return emu->received().mid(f.streamOffset + 12);
        return {};
    }

private slots:
    void init()
    {
        emu = std::make_unique<ProgrammerEmulator>();
        dir = std::make_unique<QTemporaryDir>();
        QString error;
        QVERIFY2(emu->start(&error), qPrintable(error));
    }
    void cleanup()
    {
        emu.reset();
        dir.reset();
    }

    void singleReplyCommandsRunInOrder()
    {
        emu->setSocketDevice(QStringLiteral("AT89C51"));
        emu->setFlash(0x03, QByteArray(16, '\0'));
        const auto r = CliProcess::run(args(QStringLiteral("AT89C51"), {"erase", "blank", "lock1", "lock2", "lock3"}));
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.outLines(), (detected() + QStringList{"Erase.........Pass", "Blank.........Pass", "Lock1.........Pass",
                                                        "Lock1,2.......Pass", "Lock1,2,3.....Pass"}));
        QVERIFY(r.err.isEmpty());
        QCOMPARE(emu->commandWords(), (QStringList{"0D000000", "05000003", "0A0FFF03", "03000103", "03000203", "03000303"}));
        QCOMPARE(emu->lockBits(0x03), uint8_t(0x07));
        // Each pass ends with ENQ, and the last one reaches the line before the port closes.
        QVERIFY(EmulatorReceived::endsWith(*emu, char(0x05)));
        QCOMPARE(emu->flash(0x03), QByteArray(0x1000, char(0xFF)));
    }

    void programVerifyAndAutoWriteTheFile()
    {
        emu->setSocketDevice(QStringLiteral("AT89C2051"));
        const QByteArray image = randomImage(0x800);
        const QString file = hexFile(image, 0x7FF);
        auto r = CliProcess::run(args(QStringLiteral("AT89C2051"), {"--file", file, "program", "verify"}));
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.outLines(), (detected() + QStringList{"Program.......Pass", "Verify........Pass"}));
        // Not a terminal: no progress bar.
        QVERIFY(!r.out.contains('\r') && !r.out.contains('\x1b'));
        QCOMPARE(emu->flash(0x01), image);

        emu->setFlash(0x01, QByteArray(0x800, '\0'));
        r = CliProcess::run(args(QStringLiteral("AT89C2051"), {"auto", "--file", file}));
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.outLines(), (detected() + QStringList{"Erase.........Pass", "Blank.........Pass", "Program.......Pass",
                                                        "Verify........Pass", "Lock..........Pass", "Auto Program..Pass"}));
        QCOMPARE(emu->flash(0x01), image);
        QCOMPARE(emu->lockBits(0x01), uint8_t(0x03));
    }

    // An image longer than the device is refused before the port opens,
    // HEX or not; --allow-oversize loads it with the window's warning.
    void fileLongerThanDeviceRefusedUnlessAllowed()
    {
        emu->setSocketDevice(QStringLiteral("AT89C2051"));
        const QByteArray image = randomImage(0x1000);
        const QString hex = hexFile(image, 0xFFF);
        const QString bin = dir->filePath(QStringLiteral("long.bin"));
        QFile f(bin);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(image.left(0x801));
        f.close();
        const QString refusal = QStringLiteral("tarvo-cli: %1: refused, End Buffer Over End Device (image end %2, "
                                               "AT89C2051 end 07FFH); give --allow-oversize to load it");
        auto r = CliProcess::run(args(QStringLiteral("AT89C2051"), {"--file", hex, "program"}));
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.errLines(), (QStringList{"Warning: End Buffer Over End Device", refusal.arg(hex, "0FFFH")}));
        r = CliProcess::run(args(QStringLiteral("AT89C2051"), {"--file", bin, "--file-offset", "0", "program"}));
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.errLines().last(), refusal.arg(bin, "0800H"));
        QVERIFY(emu->received().isEmpty());

        r = CliProcess::run(args(QStringLiteral("AT89C2051"), {"--file", hex, "--allow-oversize", "program"}));
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.errLines(), QStringList{"Warning: End Buffer Over End Device"});
        QCOMPARE(emu->flash(0x01), image.left(0x800));
    }

    // The same image as S-record, ELF and raw binary, made by other tools
    // from the HEX file, programs the same flash.
    void everyImageFormatProgramsTheSameFlash()
    {
        emu->setSocketDevice(QStringLiteral("AT89C2051"));
        const QByteArray image = randomImage(0x700);
        const QString hex = hexFile(image, 0x6FF);
        const auto make = [](const QString &program, const QStringList &arguments) {
            QProcess p;
            p.start(program, arguments);
            return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        };
        const QString srec = dir->filePath(QStringLiteral("image.s37"));
        const QString elf = dir->filePath(QStringLiteral("image.elf"));
        const QString bin = dir->filePath(QStringLiteral("image.bin"));
        QVERIFY(make(QStringLiteral("srec_cat"), {hex, "-intel", "-o", srec, "-motorola", "-address-length=4"}));
        QVERIFY(make(QStringLiteral("objcopy"), {"-I", "ihex", "-O", "elf32-little", hex, elf}));
        QVERIFY(make(QStringLiteral("srec_cat"), {hex, "-intel", "-crop", "0x100", "0x700", "-offset", "-0x100", "-o", bin, "-binary"}));
        for (const QStringList &file : {QStringList{srec}, QStringList{elf}, QStringList{bin, "--file-offset", "100"}}) {
            emu->setFlash(0x01, QByteArray(0x800, '\0'));
            const auto r = CliProcess::run(args(QStringLiteral("AT89C2051"), QStringList{"-v", "--file"} + file + QStringList{"program", "verify"}));
            QVERIFY2(r.exitCode == 0, r.err.constData());
            QVERIFY(r.outLines().contains(QStringLiteral("Verify........Pass")));
            QVERIFY2(r.out.contains(", checksum "), r.out.constData());
            const QByteArray expected = file.size() > 1 ? QByteArray(0x100, '\xFF') + image.mid(0x100) + QByteArray(0x100, '\xFF')
                                                        : image + QByteArray(0x100, '\xFF');
            QCOMPARE(emu->flash(0x01), expected);
        }
    }

    void readSavesTheDeviceFlash()
    {
        emu->setSocketDevice(QStringLiteral("AT89C2051"));
        const QByteArray flash = randomImage(0x800);
        emu->setFlash(0x01, flash);
        const QString out = textFile("an older file, replaced without asking");
        const auto r = CliProcess::run(args(QStringLiteral("AT89C2051"), {"read", "--output", out}));
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.outLines(), (detected() + QStringList{"Read..........Pass"}));
        MemoryBuffer saved;
        QVERIFY(HexFileLoader::loadFile(out, saved).dataStored);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(saved.data()), 0x800), flash);
        QCOMPARE(saved.BufferEnd, uint16_t(0x7FF));
    }

    void fuseBitsReadAndWritten()
    {
        // Type 04: fuse byte FE, lock byte 07 (nothing programmed).
        auto r = CliProcess::run(args(QStringLiteral("AT89S53"), {"fuse-read", "fuse-write", "0x01"}));
        QCOMPARE(r.exitCode, 0);
        const QStringList locks{"Lock Bit1 : Disable(Erase)", "Lock Bit2 : Disable(Erase)", "Lock Bit3 : Disable(Erase)"};
        QCOMPARE(r.outLines(), (detected() + QStringList{"Read Fuse Complete", "Fuse FSTRT : Not Present", "Fuse SPIEN : Enable(Program)"}
                                   + locks + QStringList{"Fuse Value : 00", "Program Fuse Complete", "Fuse FSTRT : Not Present",
                                                         "Fuse SPIEN : Disable(Erase)"} + locks + QStringList{"Fuse Value : 01"}));
        QCOMPARE(emu->fuseByte(0x04), uint8_t(0x01));

        // Types 06/07: bits 0 and 5 of the fuse byte, lock bits in 7 and 6.
        r = CliProcess::run(args(QStringLiteral("AT90S2313"), {"fuse-write", "20"}));
        QCOMPARE(r.exitCode, 0);
        QVERIFY(emu->commandWords().contains(QStringLiteral("04002006")));
        QCOMPARE(r.outLines().mid(2, 3), (QStringList{"Program Fuse Complete", "Fuse FSTRT : Enable(Program)",
                                                      "Fuse SPIEN : Disable(Erase)"}));
        QCOMPARE(r.outLines().mid(7), (QStringList{"Lock Bit3 : Not Present", "Fuse Value : 20"}));

        // Type 04 with a lock read-back that fails while the fuse check passes.
        emu->addFault(Fault::at(Event::LockReply, Action::NonHex).withOffset(0));
        r = CliProcess::run(args(QStringLiteral("AT89S53"), {"fuse-write", "00"}));
        QCOMPARE(r.exitCode, 0);
        const QString notRead = QStringLiteral(" : not read (Read Lock Error)");
        QCOMPARE(r.outLines().mid(2), (QStringList{"Program Fuse Complete", "Fuse FSTRT : Not Present",
                                                   "Fuse SPIEN : Enable(Program)", "Lock Bit1" + notRead,
                                                   "Lock Bit2" + notRead, "Lock Bit3" + notRead, "Fuse Value : 00"}));
    }

    void comPortsMapAsInTheWindow()
    {
        const auto r = CliProcess::run({"--port", "com3", "detect"}, {{"TARVO_COM3", path()}});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.outLines(), (QStringList{"Search Hardware On Com3 OK", "Bios Code 15/08/2003"}));
        // The short forms reach the same options.
        emu->setSocketDevice(QStringLiteral("AT89C51"));
        const auto s = CliProcess::run({"-Pcom3", "-p", "AT89C51", "erase"}, {{"TARVO_COM3", path()}});
        QCOMPARE(s.outLines(), (QStringList{"Search Hardware On Com3 OK", "Bios Code 15/08/2003", "Erase.........Pass"}));
    }

    void commandFailures_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<EmulatorFault>("fault");
        QTest::addColumn<QStringList>("lines");

        const QStringList abort{"Command......Abort"};
        QTest::newRow("erase refused, blank never sent")
            << "AT89C2051" << QStringList{"erase", "blank"} << Fault::at(Event::CommandReply, Action::Nak).forCommand(0x05)
            << QStringList{"Erase.........Fail"} + abort;
        QTest::newRow("erase without reply")
            << "AT89C2051" << QStringList{"erase"} << Fault::at(Event::CommandReply, Action::Silence).forCommand(0x05)
            << QStringList{"Erase.....Time-Out"} + abort;
        QTest::newRow("program refused at a block")
            << "AT89C2051" << QStringList{"program"} << Fault::at(Event::BlockRequest, Action::Nak, 3).withReport("01A3")
            << QStringList{"Program..Fail:01A3"} + abort;
        QTest::newRow("program without a block request")
            << "AT89C2051" << QStringList{"program"} << Fault::at(Event::BlockRequest, Action::Silence, 2)
            << QStringList{"Program...Time-Out"} + abort;
        QTest::newRow("verify finds a weak cell")
            << "AT89C2051" << QStringList{"program", "verify"}
            << Fault::at(Event::BlockReceived, Action::WrongData, 4).withOffset(3)
            << QStringList{"Program.......Pass", "Verify...Fail:0103"} + abort;
        QTest::newRow("read block checksum")
            << "AT89C2051" << QStringList{"read"} << Fault::at(Event::ReadBlock, Action::WrongChecksum, 2)
            << QStringList{"ReadChecksum Error"} + abort;
        QTest::newRow("auto fails at the blank check")
            << "AT89C2051" << QStringList{"auto"} << Fault::at(Event::CommandReply, Action::Nak).forCommand(0x0A)
            << QStringList{"Erase.........Pass", "Blank.........Fail"} + abort;
        QTest::newRow("fuse read-back differs")
            << "AT89S8252" << QStringList{"fuse-write", "01"} << Fault::at(Event::FuseReply, Action::Value).withByte(0x00)
            << QStringList{"Verify Fuse Error"};
        QTest::newRow("fuse reply not hex")
            << "AT90S2313" << QStringList{"fuse-read"} << Fault::at(Event::FuseReply, Action::NonHex).withOffset(1)
            << QStringList{"Read Fuse Error"};
    }

    void commandFailures()
    {
        QFETCH(QString, device);
        QFETCH(QStringList, commands);
        QFETCH(EmulatorFault, fault);
        QFETCH(QStringList, lines);
        emu->setSocketDevice(device);
        emu->addFault(fault);
        QStringList extra{"--file", hexFile(randomImage(0x800), 0x7FF)};
        if (commands.contains(QStringLiteral("read")))
            extra << "--output" << dir->filePath("read.hex");
        const auto r = CliProcess::run(args(device, commands + extra), {{"TARVO_CLI_LONG_TIMEOUT_MS", "300"}});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.outLines(), (detected() + lines));
        QVERIFY(EmulatorReceived::endsWith(*emu, CAN));
        if (commands.first() == QLatin1String("erase"))
            QCOMPARE(emu->frameCount(), 2);
        if (commands.first() == QLatin1String("fuse-write"))
            QCOMPARE(r.errLines(), QStringList{"Error: Write Fuse Error"});
        QVERIFY(!QFile::exists(dir->filePath("read.hex")));
    }

    void usageAndFileErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        const QString image = QStringLiteral("image.hex");
        QTest::newRow("unknown device") << QStringList{"--device", "AT89X", "erase"} << "unknown device \"AT89X\"";
        QTest::newRow("unknown command") << QStringList{"--device", "AT89C2051", "wipe"} << "unknown command \"wipe\"";
        QTest::newRow("unknown option") << QStringList{"--baud", "9600", "detect"} << "unknown option \"--baud\"";
        QTest::newRow("no command") << QStringList{"--device", "AT89C2051"} << "no command given";
        QTest::newRow("program without file") << QStringList{"--device", "AT89C2051", "program"} << "need --file";
        QTest::newRow("read without output") << QStringList{"--device", "AT89C2051", "read"} << "read needs --output";
        QTest::newRow("missing file") << QStringList{"--device", "AT89C2051", "--file", "/no/such.hex", "program"}
                                      << "Error: Open File Error!!! /no/such.hex: No such file or directory";
        QTest::newRow("format error") << QStringList{"--device", "AT89C2051", "--file", "format", "program"}
                                      << "Error: Format Intel-Hex...Error";
        QTest::newRow("damaged record") << QStringList{"--device", "AT89C2051", "--file", "damaged", "verify"}
                                        << "Warning: Checksum Or Format Error In Line 1";
        QTest::newRow("damaged S-record") << QStringList{"--device", "AT89C2051", "--file", "srec", "program"}
                                          << "text.hex: refused, line 2: wrong checksum";
        QTest::newRow("neither kind") << QStringList{"--device", "AT89C2051", "--file", "plain", "program"}
                                      << "neither Intel HEX nor an S-record nor an ELF file (for a raw binary give --file-offset ADDR)";
        QTest::newRow("binary beyond the buffer") << QStringList{"--device", "AT89C2051", "--file", "plain", "--file-offset", "FFFE", "program"}
                                                  << "refused, offset 2: from FFFEH on the file reaches beyond the 64 KiB buffer";
        QTest::newRow("offset not an address") << QStringList{"--device", "AT89C2051", "--file", "plain", "--file-offset", "10000", "program"}
                                               << "--file-offset \"10000\" is not an address";
        QTest::newRow("fuse value not a byte") << QStringList{"--device", "AT90S2313", "fuse-write", "1FF"}
                                               << "fuse value \"1FF\" is not a byte in hex";
        QTest::newRow("fuse value type 06") << QStringList{"--device", "AT90S2313", "fuse-write", "0x40"}
                                            << "allowed: 00, 01, 20, 21";
        QTest::newRow("fuse value type 04") << QStringList{"--device", "AT89S8252", "fuse-write", "20"} << "allowed: 00, 01)";
        QTest::newRow("no fuse") << QStringList{"--device", "AT89C2051", "fuse-read"} << "Not Fuse on Device";
        QTest::newRow("lock beyond the device") << QStringList{"--device", "AT89C2051", "lock3"}
                                                << "lock3 is not available on AT89C2051";
        QTest::newRow("value missing") << QStringList{"erase", "--device"} << "--device needs a value";
        QTest::newRow("option twice") << QStringList{"--device", "AT89C2051", "-p", "AT89C51", "erase"}
                                      << "--device given twice";
        QTest::newRow("unknown short option") << QStringList{"-x", "detect"} << "unknown option \"-x\"";
        QTest::newRow("port name") << QStringList{"--port", "Com5", "detect"} << "unknown port \"Com5\"";
        QTest::newRow("quiet and verbose") << QStringList{"-q", "-v", "detect"} << "exclude each other";
        QTest::newRow("dry run, missing file") << QStringList{"-n", "-p", "at89c2051", "-f", "/no/such.hex", "program"}
                                               << "Open File Error!!! /no/such.hex";
        QTest::newRow("list with a bad option") << QStringList{"--list-devices", "--baud"} << "unknown option";
    }

    void usageAndFileErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const qsizetype file = arguments.indexOf(QStringLiteral("--file")) + 1;
        if (file > 0 && arguments.at(file) == QLatin1String("format"))
            arguments[file] = textFile(":0300300002337A1E\r\n :00000001FF\r\n");
        else if (file > 0 && arguments.at(file) == QLatin1String("damaged"))
            arguments[file] = textFile(":0300300002337A00\r\n:00000001FF\r\n");
        else if (file > 0 && arguments.at(file) == QLatin1String("srec"))
            arguments[file] = textFile("S10500000102F7\r\nS10500020102F7\r\n");
        else if (file > 0 && arguments.at(file) == QLatin1String("plain"))
            arguments[file] = textFile("plain text\n");
        if (!arguments.contains(QStringLiteral("--port")))
            arguments = QStringList{"--port", path()} + arguments;
        const auto r = CliProcess::run(arguments);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(message.toLocal8Bit()), r.err.constData());
        // Bad input is found before anything goes out on the line.
        QVERIFY(emu->received().isEmpty());
    }

    void firmwareRuleRefusesAfterDetection()
    {
        emu->setFirmwareDate("04062001");
        auto r = CliProcess::run(args(QStringLiteral("AT89S51"), {"erase"}));
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.errLines(), QStringList{"Error: This Device Not Support on Bios :04/06/2001"});
        QCOMPARE(emu->commandWords(), QStringList{"0D000000"});
        r = CliProcess::run(args(QStringLiteral("AT89C2051"), {"erase"}));
        QCOMPARE(r.exitCode, 0);
    }

    void noProgrammer_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<EmulatorFault>("fault");
        QTest::addColumn<QString>("message");
        const Fault none = Fault::at(Event::FinalReply, Action::Delay).withDelay(0);
        QTest::newRow("silent") << QStringList{"detect"} << Fault::at(Event::DetectionReply, Action::Silence)
                                << "Error: Hardware Not Found";
        QTest::newRow("wrong date checksum") << QStringList{"detect"} << Fault::at(Event::DetectionReply, Action::WrongChecksum)
                                             << "Error: Hardware Not Found";
        QTest::newRow("no such port") << QStringList{"--port", "/dev/tarvo-no-such-port", "detect"} << none
                                      << "Error: ie_BadId - Specified comport doesn't exist.";
        QTest::newRow("mapped com port missing") << QStringList{"--port", "Com4", "detect"} << none
                                                 << "Error: ie_BadId - Specified comport doesn't exist.";
        QTest::newRow("unplugged during program")
            << QStringList{"--device", "AT89C2051", "--file", "", "program"} << Fault::at(Event::BlockRequest, Action::HangUp, 2)
            << "Error: Comport Not Found";
    }

    void noProgrammer()
    {
        QFETCH(QStringList, arguments);
        QFETCH(EmulatorFault, fault);
        QFETCH(QString, message);
        emu->addFault(fault);
        const qsizetype file = arguments.indexOf(QStringLiteral("--file")) + 1;
        if (file > 0)
            arguments[file] = hexFile(randomImage(0x800), 0x7FF);
        if (!arguments.contains(QStringLiteral("--port")))
            arguments = QStringList{"--port", path()} + arguments;
        const auto r = CliProcess::run(arguments, {{"TARVO_COM4", "/dev/tarvo-no-such-port"}});
        QCOMPARE(r.exitCode, 3);
        QVERIFY2(r.errLines().contains(message), r.err.constData());
        if (QTest::currentDataTag() == QLatin1String("silent"))
            QVERIFY(EmulatorReceived::arrived([&] { return sentAfterFrame("0D").endsWith(CAN); }));
    }

    void stopSignalSendsCanOnce_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<EmulatorFault>("fault");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("Ctrl+C in the detection")
            << int(SIGINT) << QStringList{"erase"} << Fault::at(Event::DetectionReply, Action::Delay).withDelay(20000)
            << QByteArray("0D") << QStringList{};
        QTest::newRow("hang-up in an erase")
            << int(SIGHUP) << QStringList{"erase", "blank"}
            << Fault::at(Event::CommandReply, Action::Delay).forCommand(0x05).withDelay(20000) << QByteArray("05")
            << QStringList{"Erase.....Time-Out", "Command......Abort"};
        QTest::newRow("SIGTERM in a program")
            << int(SIGTERM) << QStringList{"program"} << Fault::at(Event::BlockRequest, Action::Delay, 3).withDelay(20000)
            << QByteArray("01") << QStringList{"Program......Break", "Command......Abort"};
    }

    void stopSignalSendsCanOnce()
    {
        QFETCH(int, signal);
        QFETCH(QStringList, commands);
        QFETCH(EmulatorFault, fault);
        QFETCH(QByteArray, frame);
        QFETCH(QStringList, lines);
        emu->setSocketDevice(QStringLiteral("AT89C2051"));
        emu->addFault(fault);
        CliProcess p(args(QStringLiteral("AT89C2051"), commands + QStringList{"--file", hexFile(randomImage(0x800), 0x7FF)}));
        p.start();
        // Stop once the programmer holds back its reply.
        QVERIFY(emu->waitFor([&] { return emu->pendingFaults() == 0; }, 10000));
        p.sendSignal(signal);
        const auto r = p.finish(10000);
        QVERIFY(r.finished);
        QCOMPARE(r.exitCode, 4);
        QVERIFY2(r.errLines().contains(QStringLiteral("Do you want to Stop Command..? Yes")), r.err.constData());
        if (!lines.isEmpty())
            QCOMPARE(r.outLines(), (detected() + lines));
        QVERIFY(EmulatorReceived::arrived([&] { return sentAfterFrame(frame).contains(CAN); }));
        // A second CAN would be right behind the first.
        QTest::qWait(300);
        QCOMPARE(sentAfterFrame(frame).count(CAN), 1);
        QCOMPARE(emu->frameCount(), frame == "0D" ? 1 : 2);
    }

    void failedSaveNamesTheCause_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<qint64>("sizeLimit");
        QTest::addColumn<QString>("message");
        QTest::newRow("file-size limit") << "keep.hex" << qint64(4096) << "Error: File too large";
        QTest::newRow("full device") << "/dev/full" << qint64(-1) << "Error: No space left on device";
    }
    // The system's own text, and the old file as it was.
    void failedSaveNamesTheCause()
    {
        QFETCH(QString, output);
        QFETCH(qint64, sizeLimit);
        QFETCH(QString, message);
        const bool device = output.startsWith(QLatin1String("/dev/"));
        if (!device) {
            output = textFile("precious");
            QFile::rename(output, dir->filePath(QStringLiteral("keep.hex")));
            output = dir->filePath(QStringLiteral("keep.hex"));
        }
        emu->setSocketDevice(QStringLiteral("AT89C55"));
        const QStringList arguments = args(QStringLiteral("AT89C55"), {"read", "--output", output});
        const auto r = sizeLimit > 0 ? CliProcess::runLimited(arguments, sizeLimit) : CliProcess::run(arguments);
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.errLines(), (QStringList{"Do you want to overwrite? Yes", message}));
        if (device) {
            QVERIFY(!QFileInfo(output).isFile());
        } else {
            QFile kept(output);
            QVERIFY(kept.open(QIODevice::ReadOnly));
            QCOMPARE(kept.readAll(), QByteArray("precious"));
            QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.hex"});
        }
    }

    void jsonOneObjectPerEvent()
    {
        emu->setSocketDevice(QStringLiteral("AT89C2051"));
        emu->addFault(Fault::at(Event::BlockRequest, Action::Nak, 3).withReport("01A3"));
        const auto r = CliProcess::run(
            args(QStringLiteral("AT89C2051"), {"--json", "--file", hexFile(randomImage(0x800), 0x7FF), "erase", "program"}));
        QCOMPARE(r.exitCode, 1);
        QList<QJsonObject> events;
        for (const QString &line : r.outLines()) {
            QJsonParseError error;
            const QJsonDocument doc = QJsonDocument::fromJson(line.toUtf8(), &error);
            QVERIFY2(error.error == QJsonParseError::NoError && doc.isObject(), qPrintable(line));
            events.append(doc.object());
        }
        QStringList names;
        for (const QJsonObject &e : events)
            names << e.value("event").toString();
        QCOMPARE(names, (QStringList{"hardware", "status", "result", "progress", "progress", "progress", "status", "status",
                                     "result", "exit"}));
        QCOMPARE(events[0].value("bios").toString(), QStringLiteral("15/08/2003"));
        QCOMPARE(events[1].value("text").toString(), QStringLiteral("Erase.........Pass"));
        QCOMPARE(events[2].value("passed").toBool(), true);
        QCOMPARE(events[5].value("done").toInt(), 192);
        QCOMPARE(events[5].value("total").toInt(), 2048);
        QCOMPARE(events[6].value("text").toString(), QStringLiteral("Program..Fail:01A3"));
        QCOMPARE(events[7].value("line").toInt(), 2);
        QCOMPARE(events[8].value("command").toString(), QStringLiteral("program"));
        QCOMPARE(events[8].value("passed").toBool(), false);
        QCOMPARE(events[9].value("code").toInt(), 1);

        const auto usage = CliProcess::run({"--json", "--port", path(), "--device", "AT89X", "erase"});
        QCOMPARE(usage.exitCode, 2);
        QCOMPARE(usage.outLines().last(), QStringLiteral("{\"code\":2,\"event\":\"exit\"}"));
    }

    void helpDocumentsExitCodes()
    {
        const auto r = CliProcess::run({"--help"});
        QCOMPARE(r.exitCode, 0);
        for (const char *text : {"  0  every command passed", "  1  a command failed", "  2  usage or file error",
                                 "  3  no programmer found", "  4  stopped by the user", "fuse-write VALUE", "AT90S2323"})
            QVERIFY2(r.out.contains(text), text);
        // Both halves of the truth: input checked before the line, then the
        // detection, always.
        QVERIFY(r.out.contains("checked first: a bad one is refused\nbefore the port is opened, and nothing is sent"));
        QVERIFY(r.out.contains("The programmer is then\ndetected, always"));
        const auto v = CliProcess::run({"--version"});
        QCOMPARE(v.exitCode, 0);
        QCOMPARE(v.outLines(), QStringList() << QStringLiteral("tarvo-cli " TARVO_VERSION));
    }

    // -q, -v, -n, device names in any case, --list-devices.
    void conventions()
    {
        emu->setSocketDevice(QStringLiteral("AT89C51"));
        const auto quiet = CliProcess::run({"-q", "-P", path(), "-p", "at89c51", "erase"});
        QCOMPARE(quiet.exitCode, 0);
        QCOMPARE(quiet.out, QByteArray());

        const auto verbose = CliProcess::run({"-v", "-P", path(), "-p", "At89C51", "erase"});
        QCOMPARE(verbose.exitCode, 0);
        for (const char *line : {"Device AT89C51: algorithm 89C51, +12V, end 0FFFH, type 03", "Command erase",
                                 "Erase.........Pass"})
            QVERIFY2(verbose.outLines().contains(QLatin1String(line)), line);

        // A dry run loads the file and detects, and sends nothing after it.
        const QString file = hexFile(randomImage(0x100), 0xFF);
        const int sent = emu->commandWords().size();
        const auto dry = CliProcess::run({"-n", "-P", path(), "-p", "AT89C51", "-f", file, "erase", "program"});
        QCOMPARE(dry.exitCode, 0);
        QCOMPARE(dry.outLines(), detected() + QStringList{"Dry run: everything checked, no command sent"});
        QCOMPARE(emu->commandWords().mid(sent), QStringList{"0D000000"});

        const auto list = CliProcess::run({"--list-devices"});
        QCOMPARE(list.exitCode, 0);
        const QStringList rows = list.outLines();
        QCOMPARE(rows.size(), 1 + 18);
        QCOMPARE(rows[0].simplified(), QStringLiteral("DEVICE FLASH LOCK BITS FUSES TYPE"));
        for (const char *row : {"AT89C1051 1024 2 - 01", "AT89S8252 10240 3 SPIEN 04", "AT90S2313 2048 2 FSTRT SPIEN 06",
                                "AT90S1200 1024 2 RCEN SPIEN 06"})
            QVERIFY2(std::any_of(rows.cbegin(), rows.cend(), [&](const QString &r) { return r.simplified() == QLatin1String(row); }), row);
    }

    // The bar on a real terminal: it fits the width, never wraps, and ends
    // with the duration of the transfer.
    void progressOnTerminal_data()
    {
        QTest::addColumn<int>("columns");
        QTest::newRow("40") << 40;
        QTest::newRow("120") << 120;
    }
    void progressOnTerminal()
    {
        QFETCH(int, columns);
        emu->setSocketDevice(QStringLiteral("AT89C2051"));
        const QString file = hexFile(randomImage(0x800), 0x7FF);
        QByteArray shown = onTerminal(args(QStringLiteral("AT89C2051"), {"--file", file, "program"}), columns);
        QByteArrayList draws;
        QStringList lines;
        for (const QByteArray &line : shown.split('\n')) {
            const QByteArrayList parts = line.split('\r');
            lines << QString::fromLocal8Bit(parts.last());
            draws << parts.mid(1);
        }
        QVERIFY(!draws.isEmpty());
        // Each draw fits and carries the time so far.
        const QRegularExpression time(QStringLiteral(" \\d+\\.\\ds$"));
        for (const QByteArray &draw : draws)
            QVERIFY2(draw.size() < columns && time.match(QString::fromLocal8Bit(draw)).hasMatch(), draw.constData());
        // The finished bar stays, with its duration, above the pass line.
        const QRegularExpression done(QStringLiteral("^(\\[#{30}\\] )?100% Program\\.+07FF \\d+\\.\\ds$"));
        const qsizetype pass = lines.indexOf(QStringLiteral("Program.......Pass"));
        QVERIFY2(pass > 0 && done.match(lines[pass - 1]).hasMatch(), qPrintable(lines.join('|')));
        QCOMPARE(lines[pass - 1].startsWith(QLatin1Char('[')), columns > 56);
    }

    // A step that waits without moving still counts its time on screen.
    void timeCountsWhileWaiting()
    {
        emu->setSocketDevice(QStringLiteral("AT89C2051"));
        emu->addFault(Fault::at(Event::CommandReply, Action::Delay).forCommand(0x05).withDelay(700));
        const QByteArray shown = onTerminal(args(QStringLiteral("AT89C2051"), {"erase"}), 80);
        QSet<QByteArray> times;
        const QRegularExpression waiting(QStringLiteral("Erase\\.+ (\\d+\\.\\ds)$"));
        for (const QByteArray &draw : shown.split('\r'))
            if (const auto m = waiting.match(QString::fromLocal8Bit(draw).trimmed()); m.hasMatch())
                times << m.captured(1).toLatin1();
        QVERIFY2(times.size() >= 3, shown.constData());
        QVERIFY(shown.contains("\nErase.........Pass"));
    }

    void progressBarRendering()
    {
        // Every width gets a line one short of it; the bar shrinks, then goes.
        for (int columns : {20, 40, 56, 80, 120}) {
            const QByteArray line = TerminalProgress::render("Program.......0400", 0x400, 0, 0x7FF, columns, 1234);
            QVERIFY2(line.size() < columns, line.constData());
            QVERIFY2(line.endsWith(columns > 30 ? "50% Program.......0400 1.2s" : "1.2s"), line.constData());
        }
        QVERIFY(TerminalProgress::render("x", 0, 0, 0x7FF, 56, 0).startsWith("[---"));
        QVERIFY(TerminalProgress::render("Program.......0400", 0, 0, 0x7FF, 40, 0).startsWith("  0% Program"));
        QCOMPARE(TerminalProgress::duration(59949), QByteArray("59.9s"));
        QCOMPARE(TerminalProgress::duration(125000), QByteArray("2m05s"));

        QCOMPARE(TerminalProgress::render("Program.......0000", 0, 0, 0x7FF),
                 QByteArray("[------------------------------]   0% Program.......0000"));
        QCOMPARE(TerminalProgress::render("x", 0x3FF, 0, 0x7FF).left(21), QByteArray("[##############------"));
        // The gauge ends at the last address: that is the whole transfer.
        QVERIFY(TerminalProgress::render("x", 0x7FF, 0, 0x7FF).contains("] 100% x"));
        QVERIFY(TerminalProgress::render("x", 0x9000, 0, 0x7FF).contains("] 100% x"));
        QCOMPARE(TerminalProgress::render("Erase.....", 0, 0, 0), QByteArray("Erase....."));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
