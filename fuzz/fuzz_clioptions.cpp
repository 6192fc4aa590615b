// libFuzzer target for tarvo-cli's command line: any bytes, split at NUL
// into arguments. A line that parses must parse again from the words the
// options write of themselves (the words a port's process gets), to the
// same words; and each port of several must get exactly its one port, the
// same file and the same commands, and never a second port (which would
// start ports of its own).
#include "CliOptions.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList words = text.split(QChar(0));
    const CliOptions options = CliOptions::parse(words);
    if (!options.error.isEmpty())
        return 0;

    const QStringList written = options.arguments();
    const CliOptions again = CliOptions::parse(written);
    if (!again.error.isEmpty() || again.mode != options.mode || again.arguments() != written)
        abort();

    if (options.mode != CliOptions::Mode::Fleet)
        return 0;
    for (const QString &port : options.ports) {
        // Resolved to the ports a programmer answers on before any starts.
        if (port == QLatin1String(CliOptions::AllPorts))
            continue;
        const QStringList childWords = options.forPort(port).arguments();
        const CliOptions child = CliOptions::parse(childWords);
        if (!child.error.isEmpty() || child.mode != CliOptions::Mode::Run || child.ports != QStringList{port}
            || !child.json || child.file != options.file || child.device != options.device
            || child.commands.size() != options.commands.size() || child.arguments() != childWords)
            abort();
        for (qsizetype i = 0; i < child.commands.size(); ++i)
            if (child.commands[i].kind != options.commands[i].kind
                || child.commands[i].fuseValue != options.commands[i].fuseValue)
                abort();
    }
    return 0;
}
