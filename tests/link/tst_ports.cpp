// The Com entries as a function of the ports the system lists, and the
// busy check that must not disturb a port's holder.
#include "ComPort.h"
#include "ComPortMap.h"
#include "PortAvailability.h"
#include "PtyPair.h"
#include "SysfsTty.h"
#include "SystemPorts.h"
#include "TestClasses.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Platform = ComPortMap::Platform;

PortDescription builtIn(const QString &name, bool hardware = true)
{
    PortDescription p;
    p.name = name;
    p.path = QStringLiteral("/dev/") + name;
    p.builtIn = hardware;
    return p;
}

PortDescription adapter(const QString &name, const QString &serial, const QString &location)
{
    PortDescription p;
    p.name = name;
    p.path = QStringLiteral("/dev/") + name;
    p.usb = true;
    p.vendorId = 0x0403;
    p.productId = 0x6001;
    p.serialNumber = serial;
    p.usbLocation = location;
    return p;
}

QStringList entries(const ComPortMap &map)
{
    QStringList out;
    for (int n = 1; n <= ComPortMap::EntryCount; ++n)
        out << map.device(n);
    return out;
}

QStringList order(const ComPortMap &map)
{
    QStringList out;
    for (const PortDescription &p : map.ports())
        out << p.path;
    return out;
}

// A PC with two UARTs (ttyS1 has none), two serial-numbered FTDI adapters,
// a CDC-ACM board and a cheap adapter without a serial number.
QList<PortDescription> mixedPc()
{
    return {builtIn("ttyS0"),
            builtIn("ttyS1", false),
            builtIn("ttyS2"),
            adapter("ttyUSB0", "B7", "1-2:1.0"),
            adapter("ttyUSB1", "A5", "1-1.4:1.0"),
            adapter("ttyACM0", "", "1-1.10:1.0"),
            adapter("ttyUSB2", "", "1-1.9:1.0")};
}

} // namespace

class TestComPortMap : public QObject
{
    Q_OBJECT
private slots:
    void builtInPortsKeepNumbersAdaptersFillTheRest()
    {
        const ComPortMap map = ComPortMap::build(mixedPc(), {}, Platform::Linux);
        QCOMPARE(entries(map), (QStringList{"/dev/ttyS0", "/dev/ttyUSB1", "/dev/ttyS2", "/dev/ttyUSB0"}));
        // Without serial numbers the socket decides: 1-1.9 before 1-1.10. ttyS1 has no UART: no port.
        QCOMPARE(order(map), (QStringList{"/dev/ttyS0", "/dev/ttyUSB1", "/dev/ttyS2", "/dev/ttyUSB0", "/dev/ttyUSB2",
                                          "/dev/ttyACM0"}));
        QCOMPARE(map.comNumberOf("/dev/ttyUSB0"), 4);
        QCOMPARE(map.comNumberOf("/dev/ttyACM0"), 0);
        QCOMPARE(map.device(0), QString());
        QCOMPARE(map.device(5), QString());
    }

    void noBuiltInPortAtAll()
    {
        // Today's laptop: one adapter is Com1, the other entries have nothing behind them.
        const ComPortMap map = ComPortMap::build({builtIn("ttyS0", false), adapter("ttyACM0", "", "3-1:1.0")}, {},
                                                 Platform::Linux);
        QCOMPARE(entries(map), (QStringList{"/dev/ttyACM0", "", "", ""}));
        QCOMPARE(ComPortMap::build({}, {}, Platform::Linux).device(1), QString());
    }

    void listingOrderDoesNotMatter()
    {
        QList<PortDescription> ports = mixedPc();
        const ComPortMap first = ComPortMap::build(ports, {}, Platform::Linux);
        std::sort(ports.begin(), ports.end(), [](const auto &a, const auto &b) { return a.path < b.path; });
        int permutations = 0;
        do {
            const ComPortMap map = ComPortMap::build(ports, {}, Platform::Linux);
            QCOMPARE(entries(map), entries(first));
            QCOMPARE(order(map), order(first));
            ++permutations;
        } while (std::next_permutation(ports.begin(), ports.end(),
                                       [](const auto &a, const auto &b) { return a.path < b.path; }));
        QCOMPARE(permutations, 5040);
    }

    void replugKeepsEntriesWhileTheAdaptersStayTheSame()
    {
        // The same adapters plugged in again in another order: the kernel hands out other ttyUSB numbers.
        const QList<PortDescription> before{adapter("ttyUSB0", "A5", "1-1:1.0"), adapter("ttyUSB1", "", "1-3:1.0"),
                                            adapter("ttyUSB2", "", "1-2:1.0")};
        const QList<PortDescription> after{adapter("ttyUSB2", "A5", "1-4:1.0"), adapter("ttyUSB0", "", "1-3:1.0"),
                                           adapter("ttyUSB1", "", "1-2:1.0")};
        const ComPortMap a = ComPortMap::build(before, {}, Platform::Linux);
        const ComPortMap b = ComPortMap::build(after, {}, Platform::Linux);
        // Com1 follows the serial number, Com2 and Com3 follow the sockets.
        QCOMPARE(entries(a), (QStringList{"/dev/ttyUSB0", "/dev/ttyUSB2", "/dev/ttyUSB1", ""}));
        QCOMPARE(entries(b), (QStringList{"/dev/ttyUSB2", "/dev/ttyUSB1", "/dev/ttyUSB0", ""}));
    }

    void twoInterfacesOfOneAdapter()
    {
        // A dual-port adapter reports one serial number for both interfaces.
        const ComPortMap map = ComPortMap::build({adapter("ttyUSB1", "FT2", "1-1:1.1"), adapter("ttyUSB0", "FT2", "1-1:1.0")},
                                                 {}, Platform::Linux);
        QCOMPARE(entries(map), (QStringList{"/dev/ttyUSB0", "/dev/ttyUSB1", "", ""}));
    }

    void aPortThatVanishes()
    {
        QList<PortDescription> ports = mixedPc();
        ports.removeIf([](const PortDescription &p) { return p.name == QLatin1String("ttyUSB1"); });
        const ComPortMap map = ComPortMap::build(ports, {}, Platform::Linux);
        QCOMPARE(entries(map), (QStringList{"/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyS2", "/dev/ttyUSB2"}));
        QCOMPARE(map.comNumberOf("/dev/ttyUSB1"), 0);
        // A built-in port that lost its UART frees its number.
        ports = {builtIn("ttyS0", false), builtIn("ttyS2"), adapter("ttyUSB0", "", "1-1:1.0")};
        QCOMPARE(entries(ComPortMap::build(ports, {}, Platform::Linux)),
                 (QStringList{"/dev/ttyUSB0", "", "/dev/ttyS2", ""}));
    }

    // A listing that names a device twice (as TARVO_PORTS may) or a port
    // without a device: each device is offered once, on every platform.
    void aDeviceListedTwiceIsOfferedOnce()
    {
        PortDescription nameless;
        nameless.name = QStringLiteral("COM2");
        for (Platform platform : {Platform::Linux, Platform::Windows}) {
            PortDescription twice = adapter("ttyUSB0", "A5", "1-1:1.0");
            if (platform == Platform::Windows)
                twice.path = twice.name = QStringLiteral("COM2");
            PortDescription again = twice;
            again.serialNumber = QStringLiteral("A0");
            const ComPortMap map = ComPortMap::build({nameless, twice, again}, {}, platform);
            QCOMPARE(order(map), QStringList{twice.path});
            QCOMPARE(map.ports().first().serialNumber, QStringLiteral("A5"));
        }
    }

    void environmentOverridesAnEntry()
    {
        const QMap<int, QString> overrides{{2, "/dev/ttyUSB0"}, {1, "/dev/pts/7"}};
        const ComPortMap map = ComPortMap::build(mixedPc(), overrides, Platform::Linux);
        // ttyS0 loses its number to the override and takes a free entry after the adapters.
        QCOMPARE(entries(map), (QStringList{"/dev/pts/7", "/dev/ttyUSB0", "/dev/ttyS2", "/dev/ttyUSB1"}));
        QCOMPARE(order(map).count("/dev/ttyUSB0"), 1);
        QCOMPARE(order(map).mid(4), (QStringList{"/dev/ttyUSB2", "/dev/ttyACM0", "/dev/ttyS0"}));
        QCOMPARE(map.ports().at(1).serialNumber, QStringLiteral("B7"));
        QCOMPARE(map.ports().at(0).name, QStringLiteral("7"));
    }

    void otherPortsKeepTheListingOrderAfterTheAdapters()
    {
        PortDescription bluetooth;
        bluetooth.path = QStringLiteral("/dev/rfcomm0");
        bluetooth.name = QStringLiteral("rfcomm0");
        const ComPortMap map = ComPortMap::build({bluetooth, builtIn("ttyS5"), builtIn("ttyS4"),
                                                  adapter("ttyUSB0", "", "")},
                                                 {}, Platform::Linux);
        QCOMPARE(entries(map), (QStringList{"/dev/ttyUSB0", "/dev/ttyS4", "/dev/ttyS5", "/dev/rfcomm0"}));
    }

    void windowsAndMacos()
    {
        PortDescription com3, com10, com9;
        com3.path = com3.name = QStringLiteral("COM3");
        com10.path = com10.name = QStringLiteral("COM10");
        com9.path = com9.name = QStringLiteral("COM9");
        const ComPortMap win = ComPortMap::build({com10, com3, com9}, {{4, "COM9"}}, Platform::Windows);
        QCOMPARE(entries(win), (QStringList{"COM1", "COM2", "COM3", "COM9"}));
        // Only the ports that are there are offered to a search.
        QCOMPARE(order(win), (QStringList{"COM3", "COM9", "COM10"}));

        PortDescription cu = adapter("cu.usbserial-A5", "A5", "");
        cu.path = QStringLiteral("/dev/cu.usbserial-A5");
        PortDescription tty = cu;
        tty.path = QStringLiteral("/dev/tty.usbserial-A5");
        const ComPortMap mac = ComPortMap::build({tty, cu}, {}, Platform::MacOS);
        QCOMPARE(entries(mac), (QStringList{"/dev/cu.usbserial-A5", "", "", ""}));
        QCOMPARE(mac.ports().size(), 1);
    }

    void theListingSeamFeedsComPort()
    {
        PtyPair one, two;
        qputenv("TARVO_PORTS", (one.slavePath() + ':' + two.slavePath()).toLocal8Bit());
        QCOMPARE(ComPort::deviceName(1), one.slavePath());
        QCOMPARE(ComPort::deviceName(2), two.slavePath());
        QCOMPARE(ComPort::deviceName(3), QString());
        // An entry with nothing behind it is a missing port.
        ComPort port;
        port.setComNumber(3);
        QVERIFY(!port.open());
        QCOMPARE(port.errorString(), QStringLiteral("ie_BadId - Specified comport doesn't exist"));
        // An adapter plugged in later is found by choosing the entry again.
        PtyPair plugged;
        qputenv("TARVO_PORTS", (one.slavePath() + ':' + two.slavePath() + ':' + plugged.slavePath()).toLocal8Bit());
        QVERIFY(port.open());
        port.WriteText("x");
        port.flush();
        QCOMPARE(plugged.read(1, 2000), QByteArray("x"));
        qunsetenv("TARVO_PORTS");
    }
};

class TestPortAvailability : public QObject
{
    Q_OBJECT
private slots:
    void states()
    {
        PtyPair pty;
        QCOMPARE(PortAvailability::check(pty.slavePath()).state, PortAvailability::State::Free);
        QCOMPARE(PortAvailability::check(QStringLiteral("/dev/tarvo-no-such-port")).state,
                 PortAvailability::State::Missing);

        QSerialPort holder;
        holder.setPortName(pty.slavePath());
        QVERIFY(holder.open(QIODevice::ReadWrite));
        const PortAvailability::Result held = PortAvailability::check(pty.slavePath());
        QCOMPARE(held.state, PortAvailability::State::Busy);
        QCOMPARE(held.ownerPid, qint64(::getpid()));
        // The holder is not disturbed: it still sends and receives.
        holder.write("ping");
        QVERIFY(holder.waitForBytesWritten(1000));
        QCOMPARE(pty.read(4, 2000), QByteArray("ping"));
        pty.write("pong");
        QVERIFY(QTest::qWaitFor([&] { return holder.bytesAvailable() >= 4; }, 2000));
        QCOMPARE(holder.readAll(), QByteArray("pong"));
        holder.close();
        QCOMPARE(PortAvailability::check(pty.slavePath()).state, PortAvailability::State::Free);
    }

    void heldWithoutAnyMark()
    {
        // A program that keeps the device open without lock file, exclusive use or flock().
        QTemporaryDir dir;
        const QString device = dir.filePath(QStringLiteral("ttyFake0"));
        QFile holder(device);
        QVERIFY(holder.open(QIODevice::ReadWrite));
        const PortAvailability::Result held = PortAvailability::check(device);
        QCOMPARE(held.state, PortAvailability::State::Busy);
        QCOMPARE(held.ownerPid, qint64(::getpid()));
        holder.close();
        QCOMPARE(PortAvailability::check(device).state, PortAvailability::State::Free);
    }

    void staleLockFileIsNotBusy()
    {
        PtyPair pty;
        // A process that has ended and been reaped.
        const pid_t deadPid = ::fork();
        if (deadPid == 0)
            ::_exit(0);
        QVERIFY(deadPid > 0);
        ::waitpid(deadPid, nullptr, 0);
        const QString lockFile = PortAvailability::lockFilePaths(pty.slavePath()).constLast();
        QFile f(lockFile);
        QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(lockFile));
        f.write(QByteArray::number(deadPid) + "\ntarvo\nhost\n");
        f.close();
        QCOMPARE(PortAvailability::check(pty.slavePath()).state, PortAvailability::State::Free);
        f.open(QIODevice::WriteOnly);
        f.write("    " + QByteArray::number(::getppid()) + "\n");
        f.close();
        QCOMPARE(PortAvailability::check(pty.slavePath()).state, PortAvailability::State::Busy);
        QFile::remove(lockFile);
    }
};

// A sysfs tree as a PC without udev data has it: a USB serial converter
// (ttyUSB0), a CDC-ACM board (ttyACM0) and a PCI UART (ttyS4), laid out
// under TARVO_SYSFS_ROOT.
class TestSysfsPorts : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_root;

    void write(const QString &path, const QByteArray &text)
    {
        QVERIFY(QDir(m_root.path()).mkpath(QFileInfo(m_root.filePath(path)).path()));
        QFile f(m_root.filePath(path));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text + "\n");
    }
    void link(const QString &tty, const QString &device)
    {
        QVERIFY(QDir(m_root.path()).mkpath(device));
        QVERIFY(QDir(m_root.path()).mkpath(QStringLiteral("class/tty/") + tty));
        QVERIFY(QFile::link(m_root.filePath(device), m_root.filePath(QStringLiteral("class/tty/%1/device").arg(tty))));
    }

private slots:
    void initTestCase()
    {
        const QString hub = QStringLiteral("devices/pci0000:00/0000:00:14.0/usb1/1-1/");
        write(hub + "1-1.2/idVendor", "0403");
        write(hub + "1-1.2/idProduct", "6001");
        write(hub + "1-1.2/serial", "A50285BI");
        write(hub + "1-1.2/manufacturer", "FTDI");
        write(hub + "1-1.2/product", "FT232R USB UART");
        link(QStringLiteral("ttyUSB0"), hub + "1-1.2/1-1.2:1.0/ttyUSB0");
        write(hub + "1-1.3/idVendor", "2341");
        write(hub + "1-1.3/idProduct", "0043");
        link(QStringLiteral("ttyACM0"), hub + "1-1.3/1-1.3:1.0");
        // A PCI card's UART: a vendor id in its own folder, yet no USB device.
        write(QStringLiteral("devices/pci0000:00/0000:00:1c.0/0000:03:00.0/vendor"), "0x1415");
        link(QStringLiteral("ttyS4"), QStringLiteral("devices/pci0000:00/0000:00:1c.0/0000:03:00.0"));
        write(QStringLiteral("class/tty/console/active"), "tty0 ttyS4");
        qputenv("TARVO_SYSFS_ROOT", m_root.path().toLocal8Bit());
        qputenv("TARVO_PORTS", "/dev/ttyS4:/dev/ttyACM0:/dev/ttyUSB0");
    }
    void cleanupTestCase()
    {
        qunsetenv("TARVO_SYSFS_ROOT");
        qunsetenv("TARVO_PORTS");
    }

    void usbFieldsWithoutUdev()
    {
        const QList<PortDescription> ports = SystemPorts::list();
        QCOMPARE(ports.size(), 3);
        const PortDescription &uart = ports[0], &acm = ports[1], &ftdi = ports[2];
        QVERIFY(!uart.usb);
        QVERIFY(!uart.vendorId);
        QVERIFY(acm.usb);
        QCOMPARE(acm.vendorId, std::optional<quint16>(0x2341));
        QCOMPARE(acm.productId, std::optional<quint16>(0x0043));
        QCOMPARE(acm.serialNumber, QString());
        QCOMPARE(acm.usbLocation, QStringLiteral("1-1.3:1.0"));
        QVERIFY(ftdi.usb);
        QCOMPARE(ftdi.vendorId, std::optional<quint16>(0x0403));
        QCOMPARE(ftdi.productId, std::optional<quint16>(0x6001));
        QCOMPARE(ftdi.serialNumber, QStringLiteral("A50285BI"));
        QCOMPARE(ftdi.manufacturer, QStringLiteral("FTDI"));
        QCOMPARE(ftdi.description, QStringLiteral("FT232R USB UART"));
        QCOMPARE(ftdi.usbLocation, QStringLiteral("1-1.2:1.0"));
        // The adapter with a serial number first; no adapter lost to "other".
        QCOMPARE(ComPort::deviceName(1), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(ComPort::deviceName(2), QStringLiteral("/dev/ttyACM0"));
    }

    void theConsole()
    {
        QVERIFY(SystemPorts::isConsole(QStringLiteral("/dev/ttyS4")));
        QVERIFY(!SystemPorts::isConsole(QStringLiteral("/dev/ttyUSB0")));
        QCOMPARE(SysfsTty::consoleNames("tty0\n", "ttyS0                -W- (EC  p a)    4:64\nttyUSB1 -W- (E) 188:1\n",
                                        "quiet console=tty1 console=ttyS2,115200n8 -- console=ttyS9"),
                 (QStringList{"tty0", "ttyS0", "ttyUSB1", "tty1", "ttyS2"}));
    }
};

int main(int argc, char **argv)
{
    return runTestClasses<TestComPortMap, TestPortAvailability, TestSysfsPorts>(argc, argv);
}

#include "tst_ports.moc"
