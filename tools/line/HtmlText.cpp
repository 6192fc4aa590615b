#include "HtmlText.h"

QString HtmlText::escape(const QString &text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '"': out += QLatin1String("&quot;"); break;
        case '\'': out += QLatin1String("&#39;"); break;
        // A NUL has no place in a page; the others pass as they are.
        case 0: out += QChar(0xFFFD); break;
        default: out += c;
        }
    }
    return out;
}
