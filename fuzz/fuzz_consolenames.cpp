// libFuzzer target for the console's names as the system gives them:
// /sys/class/tty/console/active, /proc/consoles and the kernel command line
// (the input split at the first two NUL bytes). Besides surviving any text it
// checks that each name is listed once, whole, and never holds a blank.
#include "SysfsTty.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> parts = QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)).split('\0');
    const QStringList names =
        SysfsTty::consoleNames(parts.value(0), parts.value(1), parts.mid(2).join(QByteArray(1, '\0')));
    for (const QString &name : names) {
        if (name.isEmpty() || name.contains(QLatin1Char(' ')) || name.contains(QLatin1Char('\n'))
            || names.count(name) != 1)
            abort();
    }
    return 0;
}
