#pragma once

#include <QString>

// The process that holds a serial number: its host, the machine's id
// (/etc/machine-id), the boot's id (/proc/sys/kernel/random/boot_id) and
// its process id. Whether that process still runs can be asked only from
// the same boot of the same machine: benches cloned from one disk image
// share a machine id, and after a reboot the same process id is another
// process.
struct BenchIdentity
{
    QString host;
    QString machine;
    QString boot;
    qint64 pid = 0;

    // This process.
    static BenchIdentity current();

    // Whether other's process can be asked about from here: host, machine
    // and boot all equal, and the ids known.
    bool sameBoot(const BenchIdentity &other) const
    {
        return !machine.isEmpty() && !boot.isEmpty() && host == other.host && machine == other.machine
               && boot == other.boot;
    }
    bool operator==(const BenchIdentity &) const = default;
};
