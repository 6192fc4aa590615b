#pragma once

#include "DeviceRecord.h"

#include <QTimeZone>

// Every field set, with what breaks careless writers and readers: quotes,
// separators, line breaks, backslashes, text beyond Latin-1, the largest
// serial number.
inline DeviceRecord hostileRecord()
{
    DeviceRecord r;
    r.time = QDateTime(QDate(2026, 12, 1), QTime(23, 59, 59, 7), QTimeZone(7 * 3600));
    r.host = QStringLiteral("line \"2\", bay\n3");
    r.portEntry = QStringLiteral("Com1,\\");
    r.portPath = QStringLiteral("/dev/tty\\S0\r\n");
    r.biosCode = QStringLiteral("\"\"");
    r.device = QStringLiteral("AT89C2051");
    r.commands = {QStringLiteral("erase"), QStringLiteral("program"), QStringLiteral("lock2")};
    r.fileName = QString::fromUtf8("C:\\งาน\\เฟิร์มแวร์, \"final\"\n.hex");
    r.imageSha256 = QString(64, QLatin1Char('f'));
    r.bufferChecksum = QStringLiteral("1A2BH");
    r.serial = 18446744073709551615ull;
    r.serialText = QStringLiteral("FF FF FF FF FF FF FF FF");
    r.outcome = {QString::fromUtf8("Program..Fail:01A3 ทดสอบ, \"x\" \\"), QStringLiteral("Command......Abort")};
    r.passed = false;
    r.durationMs = 9007199254740993; // past 2^53
    r.successCount = 2147483647;
    r.failureCount = 1;
    r.scannedCode = QStringLiteral("'; DROP TABLE tarvo_records; --");
    r.jobName = QString::fromUtf8("งาน \"A\", 'B'\n<script>");
    r.jobSha256 = QString(64, QLatin1Char('0'));
    r.operatorName = QString::fromUtf8("สมชาย O'Brien");
    r.lot = QStringLiteral("=HYPERLINK(\"x\"),\\\t7");
    return r;
}

