#pragma once

#include <QString>
#include <QStringList>

// A guide looked up for a bare help file name.
struct HelpGuide
{
    QString helpFile;
    // Empty when no guide was found.
    QString path;
    // Where it was looked for, in order.
    QStringList searched;
};

// The window that shows help. It reports a missing or unreadable guide
// itself; the program shows no message about help.
class HelpDisplay
{
public:
    virtual ~HelpDisplay() = default;

    // Opens the guide at its contents page; false when it could not be shown.
    virtual bool showContents(const HelpGuide &guide) = 0;
    // Moves to a topic of the guide on view; the empty identifier is the top.
    virtual bool showTopic(const QString &topic) = 0;
};
