// One bench in the concurrency test: reserves COUNT numbers of a sequence
// and commits three of four, releasing the fourth as a failed device
// would. Prints "used N" or "released N" per number.
#include "DatabaseLocation.h"
#include "ProductionDatabase.h"
#include "SqlSerialSequence.h"

#include <QCoreApplication>
#include <cstdio>
#include <memory>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4)
        return 2;
    auto database = std::make_shared<ProductionDatabase>(DatabaseLocation::parse(args.at(1)));
    SerialFormat format;
    format.start = 1000;
    SqlSerialSequence sequence(database, args.at(2), format);
    QString error;
    // The sequence opens its database itself.
    if (!sequence.open(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const int count = args.at(3).toInt();
    for (int i = 0; i < count; ++i) {
        const std::optional<quint64> number = sequence.reserve(&error);
        const bool fails = i % 4 == 3;
        if (!number || !(fails ? sequence.release(*number, &error) : sequence.commit(*number, &error))) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        std::printf("%s %llu\n", fails ? "released" : "used", static_cast<unsigned long long>(*number));
    }
    return 0;
}
