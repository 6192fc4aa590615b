#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

// What the bench is working with: the port, the programmer's firmware date,
// the device, the file in the buffer, the buffer's checksum and the
// counters. The window fills it as the operator chooses and shows it; the
// firmware rule, the production record and whatever watches the line read
// it here instead of reading the window's fields back.
class BenchSession : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // The entry chosen in the port list ("Com1") and the device it opened
    // (empty when the port could not be opened).
    const QString &portEntry() const { return m_portEntry; }
    const QString &portPath() const { return m_portPath; }
    void setPort(const QString &entry, const QString &path);

    // The firmware date a detection read ("04/06/2001"); empty while no
    // programmer has been found on the port.
    const QString &firmwareDate() const { return m_firmwareDate; }
    void setFirmwareDate(const QString &date);

    // The catalogue name of the chosen device.
    const QString &device() const { return m_device; }
    void setDevice(const QString &name);

    // The name of the file the buffer came from; empty after a read from a
    // device, or before any file.
    const QString &fileName() const { return m_fileName; }
    void setFileName(const QString &name);

    // The buffer's checksum as shown ("1A2BH").
    const QString &checksum() const { return m_checksum; }
    void setChecksum(const QString &text);

    uint8_t successCount() const { return m_success; }
    uint8_t failureCount() const { return m_failure; }
    void setCounts(uint8_t success, uint8_t failure);

signals:
    void portChanged(const QString &entry, const QString &path);
    void firmwareDateChanged(const QString &date);
    void deviceChanged(const QString &name);
    void fileNameChanged(const QString &name);
    void checksumChanged(const QString &text);
    void countsChanged(uint8_t success, uint8_t failure);

private:
    QString m_portEntry;
    QString m_portPath;
    QString m_firmwareDate;
    QString m_device;
    QString m_fileName;
    QString m_checksum;
    uint8_t m_success = 0;
    uint8_t m_failure = 0;
};
