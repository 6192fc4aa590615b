#pragma once

#include <QString>

// Text from the database into HTML or SVG: every character that could end
// a text or an attribute is escaped (& < > " '), so a sequence, job, lot,
// operator, host or file name shows as written and never becomes markup.
namespace HtmlText {
QString escape(const QString &text);
}
