#include "EmulatorReceived.h"
#include "RunnerHarness.h"

#include "DeviceCatalogue.h"
#include "HexText.h"

#include <QTest>
#include <QTimer>

RunnerHarness::RunnerHarness(const QString &deviceName)
{
    view.selection = &selection;
    runner.addListener(&view);
    QString error;
    if (!emu.start(&error)) {
        qWarning("emulator: %s", qPrintable(error));
        return;
    }
    link.port().setDevicePath(emu.slavePath());
    if (!link.port().open()) {
        qWarning("port: %s", qPrintable(link.port().errorString()));
        return;
    }
    link.assumeHardwareFound();
    selectDevice(deviceName);
    m_ready = true;
}

RunnerHarness::~RunnerHarness()
{
    link.port().close();
    emu.stop();
}

void RunnerHarness::selectDevice(const QString &deviceName)
{
    selection.SelectedDevice = DeviceCatalogue::row(DeviceCatalogue::indexOf(deviceName));
    selection.DeviceSelected = true;
    emu.setSocketDevice(deviceName);
}

uint8_t RunnerHarness::typeCode() const
{
    return HexText::HexStr2ToByte(selection.SelectedDevice.TypeCode);
}

void RunnerHarness::pressRun(int runs)
{
    m_runsLeft = runs;
    view.onWaiting = [this] {
        if (atWait)
            atWait();
        QTimer::singleShot(0, &m_context, [this] {
            if (m_runsLeft > 0) {
                --m_runsLeft;
                runner.StartRunClick();
            } else {
                runner.StopRunClick();
            }
        });
    };
}

void RunnerHarness::when(std::function<bool()> condition, std::function<void()> action)
{
    auto *poll = new QTimer(&m_context);
    poll->setTimerType(Qt::PreciseTimer);
    poll->setInterval(2);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, condition, action] {
        if (!condition())
            return;
        poll->stop();
        action();
    });
    poll->start();
}

bool RunnerHarness::settle()
{
    link.port().flush();
    return EmulatorReceived::arrived([this] {
        const QByteArray all = emu.received();
        return all.endsWith(Ctl::ENQ) || all.endsWith(Ctl::CAN);
    });
}

QByteArray RunnerHarness::sentAfterFrame(int index)
{
    if (!settle())
        qWarning("the program's last byte did not arrive");
    const QList<ReceivedFrame> frames = emu.frames();
    const QByteArray all = emu.received();
    const qint64 from = frames.at(index).streamOffset + 12; // STX, 8 characters, ETX, 2 checksum characters
    // The next frame starts with CAN, one byte before its STX.
    const qint64 to = index + 1 < frames.size() ? frames.at(index + 1).streamOffset - 1 : all.size();
    return all.mid(from, to - from);
}

QByteArray RunnerHarness::bufferImage(uint16_t end) const
{
    return QByteArray(reinterpret_cast<const char *>(buffer.data()), int(end) + 1);
}
