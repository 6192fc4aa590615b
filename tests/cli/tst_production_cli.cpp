// Production runs of tarvo-cli against emulated programmers: the log and
// its records, serial numbers in the flash, repetition from standard input,
// and several ports at once.
#include "BenchIdentity.h"
#include "CliProcess.h"
#include "DeviceRecord.h"
#include "EmulatorReceived.h"
#include "ProductionEmulator.h"
#include "EmulatorFault.h"
#include "HexFileWriter.h"
#include "JsonLines.h"
#include "MemoryBuffer.h"
#include "ProgrammerEmulator.h"
#include "PtyPair.h"
#include "SerialState.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QUrl>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#include <memory>

using Fault = EmulatorFault;

namespace {

// The byte that ends every pass.
constexpr char EnqByte = 0x05;

// The process among pid's children whose command line holds word.
qint64 childWith(qint64 pid, const QByteArray &word)
{
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile children(tasks.filePath(task + QLatin1String("/children")));
        if (!children.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &child : children.readAll().split(' ')) {
            QFile command(QStringLiteral("/proc/%1/cmdline").arg(QString::fromLatin1(child.trimmed())));
            if (!child.trimmed().isEmpty() && command.open(QIODevice::ReadOnly) && command.readAll().split('\0').contains(word))
                return child.trimmed().toLongLong();
        }
    }
    return 0;
}

// The slave of terminal set up as an operator's terminal is: lines (Enter
// as CR made a line end), no echo.
bool makeOperatorTerminal(const PtyPair &terminal)
{
    const int fd = ::open(terminal.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    termios mode{};
    const bool ok = fd >= 0 && ::tcgetattr(fd, &mode) == 0;
    mode.c_iflag |= ICRNL;
    mode.c_lflag |= ICANON;
    mode.c_lflag &= ~tcflag_t(ECHO);
    const bool set = ok && ::tcsetattr(fd, TCSANOW, &mode) == 0;
    if (fd >= 0)
        ::close(fd);
    return set;
}

QStringList serials(const QList<QJsonObject> &records)
{
    QStringList out;
    for (const QJsonObject &r : records)
        out << r.value("serial").toString();
    return out;
}

} // namespace

class TestProductionCli : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgrammerEmulator> emu;
    std::unique_ptr<QTemporaryDir> dir;
    QByteArray image;

    QString file(const QString &name) const { return dir->filePath(name); }
    QString hexFile()
    {
        MemoryBuffer buffer;
        for (int a = 0; a < image.size(); ++a)
            buffer.set(uint16_t(a), uint8_t(image.at(a)));
        const QString path = file(QStringLiteral("fw.hex"));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(HexFileWriter::image(buffer, 0x7FF));
        return path;
    }
    // The image fills the whole device, so a serial number always lands on
    // its data: allowed here, refused in serialOnTheImagesData.
    QStringList args(const QStringList &rest, const ProgrammerEmulator *on = nullptr)
    {
        return QStringList{"--port", (on ? on : emu.get())->slavePath(), "--device", "AT89C2051", "--file", hexFile(),
                           "--serial-overwrite"}
               + rest;
    }

private slots:
    void init()
    {
        emu = startEmulator();
        dir = std::make_unique<QTemporaryDir>();
        image = QByteArray(0x800, '\0');
        for (int a = 0; a < image.size(); ++a)
            image[a] = char(a * 7 + 3);
    }
    void cleanup()
    {
        emu.reset();
        dir.reset();
    }

    // The number lands at ADDR in the chosen form; the rest is the file.
    void serialInEveryForm_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("le") << QStringList{"--serial", "7F0:1000"} << QByteArray("\xE8\x03\x00\x00", 4);
        QTest::newRow("be") << QStringList{"--serial", "0x7F0:1000", "--serial-format", "be", "--serial-bytes", "2"}
                            << QByteArray("\x03\xE8");
        QTest::newRow("ascii") << QStringList{"--serial", "7F0H:1000", "--serial-format", "ascii", "--serial-bytes", "6"}
                               << QByteArray("001000");
        QTest::newRow("bcd") << QStringList{"--serial", "7F0:123456", "--serial-format", "bcd", "--serial-bytes", "3"}
                             << QByteArray("\x12\x34\x56");
    }
    void serialInEveryForm()
    {
        QFETCH(QStringList, options);
        QFETCH(QByteArray, written);
        const auto r = CliProcess::run(args(options + QStringList{"--log", file("log.jsonl"), "program", "verify"}));
        QCOMPARE(r.exitCode, 0);
        QByteArray expected = image;
        expected.replace(0x7F0, written.size(), written);
        QCOMPARE(emu->flash(Type2051).left(0x800), expected);
        const QJsonObject record = readJsonLines(file("log.jsonl")).value(0);
        QCOMPARE(record.value("commands").toArray().toVariantList(), (QVariantList{"program", "verify"}));
        QCOMPARE(record.value("outcome").toArray().toVariantList(),
                 (QVariantList{"Program.......Pass", "Verify........Pass"}));
        QVERIFY(record.value("passed").toBool());
        // The hash is over what was sent: the image with the number in it.
        QCOMPARE(record.value("image_sha256").toString(),
                 QString::fromLatin1(QCryptographicHash::hash(expected, QCryptographicHash::Sha256).toHex()));
    }

    // Lines on standard input drive the devices. A failed device is logged
    // with its failure text and its number goes to the next device; the
    // run goes on and ends at the end of input with a summary and exit 1.
    void repetitionLogsPassesAndFailures()
    {
        const QString log = file("log.csv");
        // Device 1: no reply to the blank check; device 2: program refused
        // at block 3; devices 3 and 4 pass.
        emu->addFault(Fault::at(Fault::Event::CommandReply, Fault::Action::Silence).forCommand(0x0A));
        emu->addFault(Fault::at(Fault::Event::BlockRequest, Fault::Action::Nak, 3).withReport("00C0"));
        CliProcess p(args({"--repeat", "--log", log, "--serial", "7F0:500", "--serial-state", file("s.state"), "auto"}),
                     {{"TARVO_CLI_LONG_TIMEOUT_MS", "300"}});
        p.start();
        p.write("\n\n\n\n");
        p.closeInput();
        const auto r = p.finish();
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.out.contains("Device 1 failed, serial 500. Success : 0  Failure : 1\n"));
        QVERIFY(r.out.contains("Device 2 failed, serial 500. Success : 0  Failure : 2\n"));
        QVERIFY(r.out.contains("Device 3 passed, serial 500. Success : 1  Failure : 2\n"));
        QVERIFY(r.out.contains("Device 4 passed, serial 501. Success : 2  Failure : 2\n"));
        QVERIFY(r.out.contains("Devices: 4, passed: 2, failed: 2, time per device: "));
        // Standard input is not a terminal: no prompt.
        QVERIFY(!r.out.contains("Insert the next device"));

        QFile f(log);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        QCOMPARE(lines.size(), 6);
        QVERIFY(lines.at(0).startsWith("time,host,port,port_path,bios_code,device,commands,file,image_sha256"));
        QVERIFY2(lines.at(1).contains(",500,F4 01 00 00,Erase.........Pass | Blank.....Time-Out | Command......Abort,fail,"),
                 lines.at(1).constData());
        // The counts, then the program's version; no fuse value, no scan,
        // no job, job checksum, operator or lot.
        const QRegularExpression counts(QStringLiteral(",(\\d+),(\\d+),\\d+\\.\\d+[^,]*,,,,,,$"));
        QCOMPARE(counts.match(QString::fromUtf8(lines.at(1))).capturedTexts().mid(1), (QStringList{"0", "1"}));
        QVERIFY2(lines.at(2).contains(",Erase.........Pass | Blank.........Pass | Program..Fail:00C0 | Command......Abort,fail,"),
                 lines.at(2).constData());
        QVERIFY(lines.at(3).contains(",500,F4 01 00 00,Erase.........Pass | Blank.........Pass | Program.......Pass | "));
        QVERIFY(lines.at(4).contains(",501,F5 01 00 00,"));
        QCOMPARE(counts.match(QString::fromUtf8(lines.at(4))).capturedTexts().mid(1), (QStringList{"2", "2"}));
        QVERIFY(lines.at(4).contains(",AT89C2051,auto,fw.hex,"));
        QCOMPARE(emu->flash(Type2051).mid(0x7F0, 4), QByteArray("\xF5\x01\x00\x00", 4));
    }

    // q, Ctrl+C while waiting, and the operator on a terminal.
    void endingsAndTheTerminal()
    {
        auto r = CliProcess::runWithInput(args({"--repeat", "program"}), "\nq\n\n");
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(programFrames(*emu), 1);
        QVERIFY(r.out.contains("Devices: 1, passed: 1, failed: 0, time per device: "));

        CliProcess waiting(args({"--repeat", "--json", "program"}));
        waiting.start();
        QVERIFY(waiting.waitForOutput("\"waiting\""));
        waiting.interrupt();
        r = waiting.finish();
        // No device ran: nothing was programmed, not a success.
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.out.contains("{\"devices\":0,\"event\":\"summary\""));

        // Closed standard input: the end of input, and the port never takes its place.
        CliProcess closed(args({"--repeat", "program"}));
        closed.closeInputAtStart();
        closed.start();
        r = closed.finish();
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.out.contains("Devices: 0, passed: 0, failed: 0"));
        QCOMPARE(programFrames(*emu), 1);

        PtyPair terminal;
        QVERIFY(terminal.isValid());
        CliProcess operatorRun(args({"--repeat", "program"}));
        operatorRun.setInputFile(terminal.slavePath());
        operatorRun.start();
        QVERIFY(operatorRun.waitForOutput("Insert the next device: Enter to run, q to quit\n"));
        terminal.write("\n");
        // Keys typed before the next prompt are dropped: q waits for it.
        QVERIFY(operatorRun.waitForOutput("Failure : 0\nInsert the next device"));
        terminal.write("q\n");
        r = operatorRun.finish();
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out.count("Insert the next device"), 2);
        QCOMPARE(programFrames(*emu), 2);
    }

    // A bouncing foot switch or keys typed ahead run one device: on a
    // terminal, what was typed before the prompt is dropped; only an empty
    // line runs a device, q, quit and exit end the run, anything else is
    // refused. From a pipe each line stays one device.
    void oneDevicePerGo()
    {
        PtyPair terminal;
        QVERIFY(terminal.isValid() && makeOperatorTerminal(terminal));
        CliProcess p(args({"--repeat", "program"}));
        p.setInputFile(terminal.slavePath());
        p.start();
        terminal.write("\r\r"); // ahead of the first prompt
        QVERIFY(p.waitForOutput("Insert the next device: Enter to run, q to quit\n"));
        terminal.write("\r\r\r"); // a switch that bounced
        QVERIFY(p.waitForOutput("Failure : 0\nInsert the next device"));
        terminal.write("abc\r");
        QVERIFY(p.waitForOutput("Failure : 0\nInsert the next device: Enter to run, q to quit\nInsert the next device"));
        terminal.write(" Exit \r");
        const auto r = p.finish();
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(programFrames(*emu), 1);
        QVERIFY2(r.out.contains("Devices: 1, passed: 1, failed: 0"), r.out.constData());
        QCOMPARE(r.errLines(), QStringList{"tarvo-cli: \"abc\" runs nothing: Enter runs the next device; q, quit or exit "
                                           "ends the run"});

        const auto piped = CliProcess::runWithInput(args({"--repeat", "program"}), "\n\nnext\n \nquit\n\n");
        QCOMPARE(piped.exitCode, 0);
        QCOMPARE(programFrames(*emu), 4);
        QVERIFY(piped.out.contains("Devices: 3, passed: 3, failed: 0"));
        QCOMPARE(piped.errLines().size(), 1);
    }

    // With --scan each line is a device's code and runs it, kept in its
    // record (a code a spreadsheet would run stays text in CSV); an empty
    // line runs nothing; without --repeat the option is refused.
    void scannedCodesRunDevices()
    {
        const QString log = file("log.csv");
        const auto r = CliProcess::runWithInput(args({"--repeat", "--scan", "--log", log, "program"}),
                                                "SN-0001\n\n  =2+3 \nquit\nSN-0002\n");
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(programFrames(*emu), 2);
        QVERIFY2(r.out.contains("Devices: 2, passed: 2, failed: 0"), r.out.constData());
        QCOMPARE(r.errLines(), QStringList{"tarvo-cli: an empty line runs nothing with --scan: scan the device's code "
                                           "to run it; q, quit or exit ends the run"});
        QFile f(log);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        QCOMPARE(lines.size(), 4);
        // The scanned code, then no job, job checksum, operator or lot.
        QVERIFY2(lines.at(1).endsWith(",,SN-0001,,,,"), lines.at(1).constData());
        QVERIFY2(lines.at(2).endsWith(",,'=2+3,,,,"), lines.at(2).constData());
        QString error;
        QCOMPARE(DeviceRecord::fromCsvRow(QString::fromUtf8(lines.at(2)), &error)->scannedCode, QStringLiteral("=2+3"));

        const auto refused = CliProcess::run(args({"--scan", "program"}));
        QCOMPARE(refused.exitCode, 2);
        QCOMPARE(refused.errLines().value(0),
                 QStringLiteral("tarvo-cli: --scan needs --repeat (or --save-job): each line is then a device's code"));
        QCOMPARE(programFrames(*emu), 2);
    }

    // A restart continues from the state file; two processes sharing it
    // never write the same number.
    void serialStateAcrossRestartsAndProcesses()
    {
        const QString state = file("serial.state");
        const QString log = file("log.jsonl");
        const QStringList options{"--log", log, "--serial", "7F0:1", "--serial-state", state, "program"};
        QCOMPARE(CliProcess::run(args(options)).exitCode, 0);
        QCOMPARE(CliProcess::run(args(options)).exitCode, 0);
        QCOMPARE(serials(readJsonLines(log)), (QStringList{"1", "2"}));

        auto second = startEmulator();
        const QStringList repeat = options + QStringList{"--repeat"};
        CliProcess a(args(repeat, emu.get()));
        CliProcess b(args(repeat, second.get()));
        a.start();
        b.start();
        a.write("\n\n\n\n");
        b.write("\n\n\n\n");
        a.closeInput();
        b.closeInput();
        QCOMPARE(a.finish().exitCode, 0);
        QCOMPARE(b.finish().exitCode, 0);
        const QStringList all = serials(readJsonLines(log));
        QCOMPARE(all.size(), 10);
        QCOMPARE(QSet<QString>(all.begin(), all.end()).size(), 10);
        QCOMPARE(QSet<QString>(all.begin(), all.end()),
                 (QSet<QString>{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}));
    }

    // Refused before the port opens: nothing reaches the programmer.
    void refusalsBeforeThePortOpens_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("message");
        QTest::newRow("outside the device") << QStringList{"--serial", "7FE:1"}
                                            << "serial number at 07FEH-0801H lies outside the AT89C2051 (0000H-07FFH)";
        QTest::newRow("too big") << QStringList{"--serial", "0:65536", "--serial-bytes", "2"}
                                 << "serial number 65536 does not fit 2 bytes (le)";
        QTest::newRow("state folder missing") << QStringList{"--serial", "0:1", "--serial-state", "DIR/none/s.state"}
                                              << "DIR/none/s.state.lock: No such file or directory";
        QTest::newRow("log folder missing") << QStringList{"--log", "DIR/none/log.csv"}
                                            << "DIR/none/log.csv: No such file or directory";
        QTest::newRow("bad format") << QStringList{"--serial", "0:1", "--serial-format", "hex"}
                                    << "unknown serial format \"hex\" (formats: le, be, ascii, bcd)";
        QTest::newRow("several ports, no state") << QStringList{"--port", "/dev/null", "--serial", "0:1"}
                                                 << "several ports with --serial need --serial-state, so that no number is given twice";
    }
    void refusalsBeforeThePortOpens()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, message);
        options.replaceInStrings(QStringLiteral("DIR"), dir->path());
        message.replace(QStringLiteral("DIR"), dir->path());
        const auto r = CliProcess::run(args(options << "program"));
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.errLines().value(0), QStringLiteral("tarvo-cli: ") + message);
        QVERIFY(emu->received().isEmpty());
    }

    // A serial number on bytes the file holds is refused before the port
    // opens; one on bytes the file left out, or with --serial-overwrite,
    // goes in.
    void serialOnTheImagesData()
    {
        const QStringList base{"--port", emu->slavePath(), "--device", "AT89C2051", "--file", hexFile(), "--log",
                               file("log.jsonl")};
        auto r = CliProcess::run(base + QStringList{"--serial", "7FC:1", "program"});
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.errLines().value(0), QStringLiteral("tarvo-cli: serial number at 07FCH-07FFH would replace data of %1 "
                                                       "at 07FCH; give --serial-overwrite to allow it")
                                            .arg(hexFile()));
        QVERIFY(emu->received().isEmpty());
        QVERIFY(!QFile::exists(file("log.jsonl")) || QFileInfo(file("log.jsonl")).size() == 0);

        // Only the last byte of the number on the file's data: still refused.
        MemoryBuffer partial;
        for (int a = 0; a <= 0x7FC; ++a)
            partial.set(uint16_t(a), uint8_t(image.at(a)));
        QByteArray hex = HexFileWriter::image(partial, 0x7FF);
        // The file ends at 07FC: bytes 07FD-07FF are not the file's.
        const int cut = hex.indexOf(":1007F000");
        QVERIFY(cut > 0);
        QByteArray record = ":0D07F000";
        uint8_t sum = uint8_t(0x0D + 0x07 + 0xF0);
        for (int a = 0x7F0; a <= 0x7FC; ++a) {
            record += QByteArray::number(uint8_t(image.at(a)), 16).rightJustified(2, '0').toUpper();
            sum += uint8_t(image.at(a));
        }
        record += QByteArray::number(uint8_t(-sum), 16).rightJustified(2, '0').toUpper() + "\r\n";
        hex = hex.left(cut) + record + HexFileWriter::EndRecord;
        const QString short7fc = file("short.hex");
        QFile f(short7fc);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(hex);
        f.close();
        QStringList shortArgs = base;
        shortArgs[5] = short7fc;
        r = CliProcess::run(shortArgs + QStringList{"--serial", "7FC:1", "program"});
        QCOMPARE(r.exitCode, 2);
        QVERIFY(emu->received().isEmpty());
        r = CliProcess::run(shortArgs + QStringList{"--serial", "7FD:1", "--serial-bytes", "3", "program"});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        QCOMPARE(emu->flash(Type2051).mid(0x7FD, 3), QByteArray("\x01\x00\x00", 3));

        r = CliProcess::run(base + QStringList{"--serial", "7FC:1", "--serial-overwrite", "program"});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        QCOMPARE(emu->flash(Type2051).mid(0x7FC, 4), QByteArray("\x01\x00\x00\x00", 4));
    }

    // A state file keeps its form: another start on a state at 1001 is
    // refused before the port opens, with both forms shown.
    void stateFileKeepsItsForm()
    {
        const QString state = file("s.state");
        QCOMPARE(CliProcess::run(args({"--serial", "7F0:1000", "--serial-state", state, "program"})).exitCode, 0);
        // The pass's ENQ may still be on its way when the process has ended.
        QVERIFY(EmulatorReceived::endsWith(*emu, EnqByte));
        const QByteArray sent = emu->received();
        const auto r = CliProcess::run(args({"--serial", "7F0:5000", "--serial-state", state, "program"}));
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.errLines().value(0),
                 "tarvo-cli: The serial state " + state + " keeps address 07F0, start 1000, step 1, le, 4 bytes; the "
                 "options ask for address 07F0, start 5000, step 1, le, 4 bytes. Give the kept form, or start a new state file.");
        QCOMPARE(emu->received(), sent);
    }

    // Numbers held by processes that are gone: the one of this host, machine
    // and boot comes back at once; one held on an earlier boot (its process
    // id now another's) or by a clone of the disk image waits for the
    // time-out, so the next device gets a fresh number.
    void deadHoldersOfThisBootOnly()
    {
        QProcess ended;
        ended.start(QStringLiteral("true"));
        QVERIFY(ended.waitForFinished());
        const BenchIdentity me = BenchIdentity::current();
        QVERIFY(!me.machine.isEmpty() && !me.boot.isEmpty());
        const auto holder = [&](int number, const QString &host, const QString &boot) {
            return "reservation " + QByteArray::number(number) + ' ' + QByteArray::number(ended.processId()) + ' '
                   + QByteArray::number(QDateTime::currentMSecsSinceEpoch()) + " =" + QUrl::toPercentEncoding(host)
                   + " =" + QUrl::toPercentEncoding(me.machine) + " =" + QUrl::toPercentEncoding(boot) + '\n';
        };
        const QString state = file("s.state");
        QFile f(state);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("form 07F0 1 1 le 4\nnext 4\nreleased\n" + holder(1, me.host, QStringLiteral("an-earlier-boot"))
                + holder(2, me.host + QLatin1String(" clone"), me.boot) + holder(3, me.host, me.boot));
        f.close();
        const QStringList options{"--serial", "7F0:1", "--serial-state", state, "program"};
        QCOMPARE(CliProcess::run(args(options)).exitCode, 0);
        QCOMPARE(emu->flash(Type2051).mid(0x7F0, 4), QByteArray("\x03\x00\x00\x00", 4));
        QCOMPARE(CliProcess::run(args(options)).exitCode, 0);
        QCOMPARE(emu->flash(Type2051).mid(0x7F0, 4), QByteArray("\x04\x00\x00\x00", 4));
    }

    // An image that leaves the serial number's bytes (7F0-7F3) free.
    QString hexBelowSerial()
    {
        MemoryBuffer buffer;
        for (int a = 0; a < 0x7C0; ++a)
            buffer.set(uint16_t(a), uint8_t(a * 7 + 3));
        const QString path = file(QStringLiteral("low.hex"));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(HexFileWriter::image(buffer, 0x7BF));
        return path;
    }
    std::optional<SerialState> stateOf(const QString &path)
    {
        QFile f(path);
        QString error;
        return f.open(QIODevice::ReadOnly) ? SerialState::fromText(f.readAll(), 1, &error) : std::nullopt;
    }

    // tarvo-cli killed in the middle of program: before the block that
    // carries the number went out the number goes to the next device; once
    // that block reached the programmer it is retired, and the next device
    // gets a fresh one.
    void killedBenchRetiresOnlyAWrittenNumber_data()
    {
        QTest::addColumn<int>("killAfterBlocks");
        QTest::addColumn<QByteArray>("next");
        QTest::addColumn<bool>("retired");
        // The number lies in block 31 (7C0-7FF), the device's last.
        QTest::newRow("before the number went out") << 10 << QByteArray("\x01\x00\x00\x00", 4) << false;
        QTest::newRow("after the number went out") << 32 << QByteArray("\x02\x00\x00\x00", 4) << true;
    }
    void killedBenchRetiresOnlyAWrittenNumber()
    {
        QFETCH(int, killAfterBlocks);
        QFETCH(QByteArray, next);
        QFETCH(bool, retired);
        const QString state = file("s.state");
        const QStringList options{"--port", emu->slavePath(), "--device", "AT89C2051", "--file", hexBelowSerial(),
                                  "--serial", "7F0:1", "--serial-state", state, "program"};
        // The programmer stops asking for blocks there: the bench is caught
        // mid-program, as a crash would catch it.
        emu->addFault(Fault::at(Fault::Event::BlockRequest, Fault::Action::Silence, killAfterBlocks).forCommand(0x01));
        CliProcess p(options);
        p.start();
        QVERIFY(emu->waitFor([&] { return emu->blocksReceived() >= killAfterBlocks; }, 30000));
        p.sendSignal(SIGKILL);
        QVERIFY(p.ended(10000));
        QCOMPARE(emu->flash(Type2051).mid(0x7F0, 4) == QByteArray("\x01\x00\x00\x00", 4), retired);

        emu->clearFaults();
        const auto r = CliProcess::run(options);
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(emu->flash(Type2051).mid(0x7F0, 4), next);
        const std::optional<SerialState> kept = stateOf(state);
        QVERIFY(kept);
        QCOMPARE(kept->retired().size(), retired ? 1 : 0);
        if (retired)
            QCOMPARE(kept->retired().first(), (SerialState::Retired{1, SerialState::holderDiedText()}));
        // A retired number stays out for good.
        QCOMPARE(CliProcess::run(options).exitCode, 0);
        QCOMPARE(emu->flash(Type2051).mid(0x7F0, 4), QByteArray(retired ? "\x03" : "\x02", 1) + QByteArray(3, '\0'));
    }

    // A device that fails after its number went out: the number goes to the
    // next device, unless the line retires such numbers; one that fails
    // before gives its number to the next device either way.
    void failedDeviceNumber_data()
    {
        QTest::addColumn<QString>("policy");
        QTest::addColumn<int>("failAtBlock");
        QTest::addColumn<QByteArray>("next");
        QTest::newRow("reuse, failed after") << "reuse" << 32 << QByteArray("\x01", 1);
        QTest::newRow("retire, failed after") << "retire" << 32 << QByteArray("\x02", 1);
        QTest::newRow("retire, failed before") << "retire" << 5 << QByteArray("\x01", 1);
    }
    void failedDeviceNumber()
    {
        QFETCH(QString, policy);
        QFETCH(int, failAtBlock);
        QFETCH(QByteArray, next);
        const QString state = file("s.state");
        const QStringList options{"--port", emu->slavePath(), "--device", "AT89C2051", "--file", hexBelowSerial(),
                                  "--serial", "7F0:1", "--serial-state", state, "--serial-failed", policy, "program"};
        // The programmer refuses instead of asking for block failAtBlock.
        emu->addFault(Fault::at(Fault::Event::BlockRequest, Fault::Action::Nak, failAtBlock).forCommand(0x01).withReport("01A3"));
        QCOMPARE(CliProcess::run(options).exitCode, 1);
        emu->clearFaults();
        QCOMPARE(CliProcess::run(options).exitCode, 0);
        QCOMPARE(emu->flash(Type2051).mid(0x7F0, 4), next + QByteArray(3, '\0'));
        const std::optional<SerialState> kept = stateOf(state);
        QVERIFY(kept);
        QCOMPARE(kept->retired().size(), next == "\x02" ? 1 : 0);
        QVERIFY(kept->reserved().isEmpty());
    }

    // Numbers that run out end the run before the device that would need
    // one more: the summary counts only the devices that ran.
    void numbersUsedUp()
    {
        const QString state = file("s.state");
        const auto r = CliProcess::runWithInput(args({"--repeat", "--json", "--serial", "7F0:8", "--serial-format", "ascii",
                                                      "--serial-bytes", "1", "--serial-state", state, "program"}),
                                                "\n\n\n\n");
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(programFrames(*emu), 2);
        QVERIFY2(r.out.contains("\"devices\":2,\"event\":\"summary\",\"failed\":0"), r.out.constData());
        QVERIFY2(r.out.contains("serial numbers used up"), r.out.constData());
        QCOMPARE(emu->flash(Type2051).mid(0x7F0, 1), QByteArray("9"));

        // The next run is refused before the port opens.
        QVERIFY(EmulatorReceived::endsWith(*emu, EnqByte));
        const QByteArray sent = emu->received();
        const auto again = CliProcess::run(args({"--serial", "7F0:8", "--serial-format", "ascii", "--serial-bytes", "1",
                                                 "--serial-state", state, "program"}));
        QCOMPARE(again.exitCode, 2);
        QCOMPARE(again.errLines().value(0), QStringLiteral("tarvo-cli: serial number 10 does not fit 1 bytes (ascii)"));
        QCOMPARE(emu->received(), sent);
    }

    // The log can no longer be written when device 1 comes: the run stops
    // before the device is touched, with the system's text and exit code 2.
    void unwritableLogStopsBeforeTheNextDevice()
    {
        const QString log = file("log.jsonl");
        CliProcess p(args({"--repeat", "--json", "--log", log, "program"}));
        p.start();
        QVERIFY(p.waitForOutput("\"waiting\""));
        QFile::remove(log);
        QVERIFY(QDir().mkdir(log));
        p.write("\n\n\n");
        p.closeInput();
        const auto r = p.finish();
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(log.toUtf8() + ": Is a directory"), r.err.constData());
        QCOMPARE(programFrames(*emu), 0);
        QVERIFY(r.out.contains("\"devices\":0,\"event\":\"summary\",\"failed\":0"));

        // A full disk shows at the first record: that device, without its
        // record, counts as failed, and the run stops before the next one.
        const auto full = CliProcess::runWithInput(args({"--repeat", "--log", "/dev/full", "program"}), "\n\n");
        QCOMPARE(full.exitCode, 2);
        QCOMPARE(full.errLines(), QStringList{"tarvo-cli: /dev/full: No space left on device"});
        QCOMPARE(programFrames(*emu), 1);
    }

    // A disk that cannot take the next record stops the line before the
    // device: room for the record is taken before the device starts.
    void fullDiskStopsBeforeTheDevice()
    {
        if (::geteuid() != 0)
            QSKIP("mounting a small tmpfs needs root");
        const QString disk = file(QStringLiteral("disk"));
        QVERIFY(QDir().mkdir(disk));
        const auto mount = [](const QStringList &arguments) {
            QProcess p;
            p.start(arguments.first(), arguments.mid(1));
            return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        };
        if (!mount({"mount", "-t", "tmpfs", "-o", "size=96k", "tmpfs", disk}))
            QSKIP("this system does not let a tmpfs be mounted here");
        const auto unmount = qScopeGuard([&] { mount({"umount", disk}); });
        const QString log = disk + QStringLiteral("/log.jsonl");
        // Fills the disk to its last byte.
        const auto fill = [&disk] {
            QFile filler(disk + QStringLiteral("/filler"));
            filler.open(QIODevice::Append);
            const QByteArray block(1024, 'x');
            while (filler.write(block) == block.size() && filler.flush()) {
            }
            const QByteArray byte(1, 'x');
            while (filler.write(byte) == 1 && filler.flush()) {
            }
        };

        fill();
        auto r = CliProcess::run(args({"--log", log, "program"}));
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.errLines(), QStringList{QStringLiteral("tarvo-cli: %1: No space left on device").arg(log)});
        QVERIFY(emu->received().isEmpty());

        // Room again, then the disk fills while the line runs: every device
        // that started has its record, and the run ends before one that
        // would have none.
        QVERIFY(QFile::remove(disk + QStringLiteral("/filler")));
        CliProcess p(args({"--repeat", "--json", "--log", log, "program"}));
        p.start();
        QVERIFY(p.waitForOutput("\"waiting\""));
        p.write("\n");
        QVERIFY(p.waitForOutput("\"event\":\"device\""));
        fill();
        p.write(QByteArray(40, '\n'));
        p.closeInput();
        r = p.finish();
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(log.toUtf8() + ": No space left on device"), r.err.constData());
        const int devices = int(r.out.count("\"event\":\"device\""));
        QVERIFY(devices >= 1);
        QCOMPARE(readJsonLines(log).size(), devices);
        QCOMPARE(programFrames(*emu), devices);
        QVERIFY(!r.out.contains("\"passed\":false"));
    }

    // Three programmers at once, one log and one serial state: each event
    // carries its port, the table lists every port, the worst code wins.
    void threePortsAtOnce()
    {
        auto second = startEmulator();
        auto third = startEmulator();
        third->addFault(Fault::at(Fault::Event::CommandReply, Fault::Action::Nak).forCommand(0x0A));
        const QString log = file("log.csv");
        const QStringList ports{emu->slavePath(), second->slavePath(), third->slavePath()};
        QStringList arguments{"--port", ports.at(1), "--port", ports.at(2), "--repeat", "--log", log, "--serial",
                              "7F0:1", "--serial-state", file("s.state"), "auto"};
        const auto r = CliProcess::runWithInput(args(arguments), "\n\n", 60000);
        QCOMPARE(r.exitCode, 1);
        for (const QString &port : ports) {
            QVERIFY(r.out.contains((port + ": Search Hardware On " + port + " OK\n").toUtf8()));
            QVERIFY(r.out.contains((port + ": Device 2 ").toUtf8()));
        }
        QVERIFY(r.out.contains((ports.at(2) + ": Blank.........Fail").toUtf8()));
        const QStringList out = r.outLines();
        const qsizetype table = out.indexOf(QRegularExpression(QStringLiteral("Port +Devices +Passed +Failed.*")));
        QVERIFY2(table >= 0, r.out.constData());
        QCOMPARE(out.size(), table + 4);
        for (int i = 0; i < 3; ++i) {
            const QStringList cells = out.at(table + 1 + i).split(QLatin1Char(' '), Qt::SkipEmptyParts);
            QCOMPARE(cells.value(0), ports.at(i));
            QCOMPARE(cells.value(1), QStringLiteral("2"));
            QCOMPARE(cells.value(2), i == 2 ? QStringLiteral("1") : QStringLiteral("2"));
            QCOMPARE(cells.last(), i == 2 ? QStringLiteral("1") : QStringLiteral("0"));
        }
        QFile f(log);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll().count('\n'), 7);
        // Five devices passed, each with its own number.
        for (const auto *e : {emu.get(), second.get(), third.get()})
            QVERIFY(e->flash(Type2051).mid(0x7F0, 4) != QByteArray(4, '\xFF'));
        QCOMPARE(QSet<QByteArray>({emu->flash(Type2051).mid(0x7F0, 4), second->flash(Type2051).mid(0x7F0, 4),
                                   third->flash(Type2051).mid(0x7F0, 4)})
                     .size(),
                 3);
    }

    // Compacted short options, and a file whose name begins with -P, reach
    // every port whole: each child runs its one port. A child given a
    // second port would start ports of its own, so the runs are capped.
    void compactedOptionsOnSeveralPorts()
    {
        auto second = startEmulator();
        const QString p1 = emu->slavePath();
        const QString p2 = second->slavePath();
        QVERIFY(QFile::copy(hexFile(), file("-Pfw.hex")));
        const QList<QStringList> lines{
            {"-vP", p1, "-P", p2, "-f", "-Pfw.hex", "-p", "AT89C2051", "program"},
            {"-qP", p1, "-P" + p2, "-f-Pfw.hex", "-pAT89C2051", "program"},
            {"-nP" + p1, "--port=" + p2, "-f", "-Pfw.hex", "-p", "AT89C2051", "program"},
        };
        int programs = 0;
        for (const QStringList &line : lines) {
            CliProcess p(line);
            if (!p.capProcesses(64))
                QSKIP("no pids cgroup to cap the processes with");
            p.setWorkingDirectory(dir->path());
            p.start();
            const auto r = p.finish(60000);
            QVERIFY2(r.exitCode == 0, qPrintable(line.join(' ') + "\n" + r.err));
            // One table, one row per port: no child ran ports of its own.
            const QStringList out = r.outLines();
            const qsizetype table = out.indexOf(QRegularExpression(QStringLiteral("Port +Devices +Passed.*")));
            QVERIFY2(table >= 0 && out.size() == table + 3, r.out.constData());
            if (!line.first().startsWith("-n"))
                ++programs;
            QCOMPARE(programFrames(*emu), programs);
            QCOMPARE(programFrames(*second), programs);
        }

        // A port child given several ports refuses them before any port opens.
        CliProcess child(args({"--port", p2, "program"}), {{"TARVO_CLI_PORT_CHILD", "1"}});
        QVERIFY(child.capProcesses(64));
        child.start();
        const auto r = child.finish();
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains("runs one port for a parent tarvo-cli: several ports refused"), r.err.constData());
        QCOMPARE(programFrames(*emu), programs);
        QCOMPARE(programFrames(*second), programs);
    }

    // A port's process killed by a signal is the tool's failure, named as
    // such; the other port goes on to the end of its input.
    void portKilledBySignal()
    {
        auto second = startEmulator();
        CliProcess p(args({"--port", second->slavePath(), "--repeat", "--json", "program"}));
        p.start();
        QVERIFY(p.waitForOutput(("\"port\":\"" + emu->slavePath() + "\",\"text\":\"Insert").toUtf8()));
        QVERIFY(p.waitForOutput(("\"port\":\"" + second->slavePath() + "\",\"text\":\"Insert").toUtf8()));
        const qint64 victim = childWith(p.processId(), ("--port=" + second->slavePath()).toUtf8());
        QVERIFY(victim > 0);
        QCOMPARE(::kill(pid_t(victim), SIGKILL), 0);
        p.write("\n");
        p.closeInput();
        const auto r = p.finish();
        QCOMPARE(r.exitCode, 5);
        QVERIFY2(r.err.contains((second->slavePath() + ": tarvo-cli ended by SIGKILL (Killed)\n").toUtf8()), r.err.constData());
        QVERIFY(r.out.contains("\"code\":5,\"devices\":0,\"event\":\"port-summary\",\"failed\":0,\"ms_per_device\":0,\"passed\":0,"
                               "\"port\":\"" + second->slavePath().toUtf8() + "\",\"signal\":\"SIGKILL (Killed)\"}"));
        QVERIFY(r.out.contains("\"code\":0,\"devices\":1,\"event\":\"port-summary\",\"failed\":0"));
    }

    // Ctrl+C on the parent reaches every port once: each ends at its wait.
    void stopReachesEveryPort()
    {
        auto second = startEmulator();
        CliProcess p(args({"--port", second->slavePath(), "--repeat", "--json", "program"}));
        p.start();
        QVERIFY(p.waitForOutput(("\"port\":\"" + emu->slavePath() + "\",\"text\":\"Insert").toUtf8()));
        QVERIFY(p.waitForOutput(("\"port\":\"" + second->slavePath() + "\",\"text\":\"Insert").toUtf8()));
        p.interrupt();
        const auto r = p.finish();
        // Stopped while waiting, before any device: nothing was programmed.
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.out.count("\"event\":\"port-summary\""), 2);
        QVERIFY(r.out.endsWith("{\"code\":1,\"event\":\"exit\"}\n"));
    }

    // auto-all: every port a programmer answers on, and only those.
    void allPortsWithAProgrammer()
    {
        auto second = startEmulator();
        PtyPair silent;
        const QString ports = QStringList{emu->slavePath(), silent.slavePath(), second->slavePath()}.join(QDir::listSeparator());
        QStringList arguments = args({"program"});
        arguments[1] = QStringLiteral("auto-all");
        const auto r = CliProcess::run(arguments, {{"TARVO_PORTS", ports}});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(programFrames(*emu), 1);
        QCOMPARE(programFrames(*second), 1);
        QVERIFY(r.out.contains((second->slavePath() + ": Program.......Pass\n").toUtf8()));
        QVERIFY(!r.out.contains(silent.slavePath().toUtf8() + ": "));
    }
};

QTEST_GUILESS_MAIN(TestProductionCli)
#include "tst_production_cli.moc"
