#include "SerialFormat.h"

#include "MemoryBuffer.h"

#include <QStringList>

namespace {

struct FormRow
{
    SerialFormat::Form form;
    const char *name;
    int maxBytes;
    int defaultBytes;
};

const FormRow Forms[] = {
    {SerialFormat::Form::Le, "le", 8, 4},
    {SerialFormat::Form::Be, "be", 8, 4},
    {SerialFormat::Form::Ascii, "ascii", 19, 8},
    {SerialFormat::Form::Bcd, "bcd", 9, 4},
};

const FormRow &rowOf(SerialFormat::Form form)
{
    for (const FormRow &row : Forms)
        if (row.form == form)
            return row;
    return Forms[0];
}

quint64 powerOfTen(int digits)
{
    quint64 value = 1;
    for (int i = 0; i < digits; ++i)
        value *= 10;
    return value;
}

} // namespace

std::optional<SerialFormat::Form> SerialFormat::formOf(const QString &name)
{
    for (const FormRow &row : Forms)
        if (name.compare(QLatin1String(row.name), Qt::CaseInsensitive) == 0)
            return row.form;
    return std::nullopt;
}

QString SerialFormat::formName(Form form)
{
    return QLatin1String(rowOf(form).name);
}

int SerialFormat::maxBytes(Form form)
{
    return rowOf(form).maxBytes;
}

int SerialFormat::defaultBytes(Form form)
{
    return rowOf(form).defaultBytes;
}

bool SerialFormat::parseArgument(const QString &text, QString *error)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() < 2 || parts.size() > 3) {
        *error = QStringLiteral("--serial wants ADDR:START[:STEP], such as 0x7F0:1000 or 7F0:1000:2");
        return false;
    }
    QString addressText = parts.at(0).trimmed();
    if (addressText.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        addressText = addressText.mid(2);
    else if (addressText.endsWith(QLatin1Char('H'), Qt::CaseInsensitive))
        addressText.chop(1);
    bool ok = false;
    const uint where = addressText.toUInt(&ok, 16);
    if (!ok || addressText.isEmpty() || where > 0xFFFF) {
        *error = QStringLiteral("serial address \"%1\" is not an address in hex (0 to FFFF)").arg(parts.at(0));
        return false;
    }
    const quint64 first = parts.at(1).trimmed().toULongLong(&ok, 10);
    if (!ok) {
        *error = QStringLiteral("serial start \"%1\" is not a whole number").arg(parts.at(1));
        return false;
    }
    quint64 increment = 1;
    if (parts.size() == 3) {
        increment = parts.at(2).trimmed().toULongLong(&ok, 10);
        if (!ok || increment == 0) {
            *error = QStringLiteral("serial step \"%1\" is not a whole number of at least 1").arg(parts.at(2));
            return false;
        }
        // A database keeps the step as a signed 64-bit number.
        if (increment > LargestStep) {
            *error = QStringLiteral("serial step \"%1\" is too large (at most %2)").arg(parts.at(2)).arg(LargestStep);
            return false;
        }
    }
    address = uint16_t(where);
    start = first;
    step = increment;
    return true;
}

quint64 SerialFormat::largest() const
{
    switch (form) {
    case Form::Le:
    case Form::Be:
        return bytes >= 8 ? ~quint64(0) : (quint64(1) << (8 * bytes)) - 1;
    case Form::Ascii:
        return powerOfTen(bytes) - 1;
    case Form::Bcd:
        return powerOfTen(2 * bytes) - 1;
    }
    return 0;
}

QByteArray SerialFormat::encode(quint64 number) const
{
    if (bytes < 1 || bytes > maxBytes(form) || !fits(number))
        return QByteArray();
    QByteArray out(bytes, '\0');
    quint64 rest = number;
    switch (form) {
    case Form::Le:
        for (int i = 0; i < bytes; ++i, rest >>= 8)
            out[i] = char(rest & 0xFF);
        break;
    case Form::Be:
        for (int i = bytes - 1; i >= 0; --i, rest >>= 8)
            out[i] = char(rest & 0xFF);
        break;
    case Form::Ascii:
        for (int i = bytes - 1; i >= 0; --i, rest /= 10)
            out[i] = char('0' + rest % 10);
        break;
    case Form::Bcd:
        for (int i = bytes - 1; i >= 0; --i, rest /= 100)
            out[i] = char(((rest % 100) / 10) << 4 | (rest % 10));
        break;
    }
    return out;
}

QString SerialFormat::text(quint64 number) const
{
    const QByteArray written = encode(number);
    if (form == Form::Ascii)
        return QString::fromLatin1(written);
    return QString::fromLatin1(written.toHex(' ').toUpper());
}

bool SerialFormat::write(MemoryBuffer &buffer, quint64 number) const
{
    const QByteArray written = encode(number);
    if (written.isEmpty())
        return false;
    for (int i = 0; i < written.size(); ++i)
        buffer.set(uint16_t(address + i), uint8_t(written.at(i)));
    return true;
}

bool SerialFormat::fitsDevice(uint16_t deviceEnd) const
{
    return bytes >= 1 && int(address) + bytes - 1 <= int(deviceEnd);
}

QString SerialFormat::describe() const
{
    return QStringLiteral("address %1, start %2, step %3, %4, %5 bytes")
        .arg(QString::number(address, 16).toUpper().rightJustified(4, QLatin1Char('0')))
        .arg(start)
        .arg(step)
        .arg(formName(form))
        .arg(bytes);
}
