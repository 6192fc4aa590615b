#include "HourChart.h"

#include "HtmlText.h"

#include <algorithm>

namespace {

constexpr int Width = 720;
constexpr int Height = 220;
constexpr int Left = 44;
constexpr int Right = 8;
constexpr int Top = 12;
constexpr int Bottom = 34;

// A round top for the scale: 1, 2, 5, 10, 20, 50, ...
qint64 scaleTop(qint64 most)
{
    qint64 top = 1;
    while (true) {
        for (const qint64 f : {1, 2, 5})
            if (top * f >= most)
                return top * f;
        top *= 10;
    }
}

} // namespace

QString HourChart::svg(const QList<Bar> &bars)
{
    qint64 most = 0;
    for (const Bar &b : bars)
        most = std::max(most, b.passed + b.failed);
    const qint64 top = scaleTop(std::max<qint64>(most, 1));
    const double plotWidth = Width - Left - Right;
    const double plotHeight = Height - Top - Bottom;
    const double slot = bars.isEmpty() ? plotWidth : plotWidth / bars.size();
    const auto y = [&](qint64 v) { return Top + plotHeight - plotHeight * double(v) / double(top); };

    QString out = QStringLiteral(
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 %1 %2\" role=\"img\" "
                      "aria-label=\"Devices per hour, passed and failed\" font-family=\"sans-serif\" font-size=\"11\">\n"
                      "<defs><pattern id=\"hatch\" width=\"6\" height=\"6\" patternUnits=\"userSpaceOnUse\" "
                      "patternTransform=\"rotate(45)\"><rect width=\"6\" height=\"6\" fill=\"#c62828\"/>"
                      "<line x1=\"0\" y1=\"0\" x2=\"0\" y2=\"6\" stroke=\"#fff\" stroke-width=\"2\"/></pattern></defs>\n")
                      .arg(Width)
                      .arg(Height);
    const qint64 rules[] = {0, top / 2, top};
    for (int i = 0; i < 3; ++i) {
        const qint64 v = rules[i];
        // The middle line only where it falls on a whole number; told by its
        // place, since with top 1 its value is the zero line's.
        if (i == 1 && (top / 2 == 0 || top % 2 != 0))
            continue;
        out += QStringLiteral("<line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%2\" stroke=\"#ccc\"/>"
                              "<text x=\"%4\" y=\"%5\" text-anchor=\"end\">%6</text>\n")
                   .arg(Left)
                   .arg(y(v), 0, 'f', 1)
                   .arg(Width - Right)
                   .arg(Left - 4)
                   .arg(y(v) + 4, 0, 'f', 1)
                   .arg(v);
    }
    for (qsizetype i = 0; i < bars.size(); ++i) {
        const Bar &b = bars[i];
        const double x = Left + slot * i + slot * 0.15;
        const double w = slot * 0.7;
        const QString title = HtmlText::escape(QStringLiteral("%1: %2 passed, %3 failed").arg(b.label).arg(b.passed).arg(b.failed));
        out += QStringLiteral("<g><title>%1</title>").arg(title);
        if (b.passed > 0)
            out += QStringLiteral("<rect class=\"passed\" x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"#2e7d32\"/>")
                       .arg(x, 0, 'f', 1)
                       .arg(y(b.passed), 0, 'f', 1)
                       .arg(w, 0, 'f', 1)
                       .arg(y(0) - y(b.passed), 0, 'f', 1);
        if (b.failed > 0)
            out += QStringLiteral("<rect class=\"failed\" x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"url(#hatch)\"/>")
                       .arg(x, 0, 'f', 1)
                       .arg(y(b.passed + b.failed), 0, 'f', 1)
                       .arg(w, 0, 'f', 1)
                       .arg(y(b.passed) - y(b.passed + b.failed), 0, 'f', 1);
        out += QStringLiteral("</g>\n");
        // A label every third hour keeps them apart on a phone.
        if (i % 3 == 0)
            out += QStringLiteral("<text x=\"%1\" y=\"%2\" text-anchor=\"middle\">%3</text>\n")
                       .arg(x + w / 2, 0, 'f', 1)
                       .arg(Height - Bottom + 14)
                       .arg(HtmlText::escape(b.label));
    }
    out += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"10\" height=\"10\" fill=\"#2e7d32\"/>"
                          "<text x=\"%3\" y=\"%4\">passed</text>"
                          "<rect x=\"%5\" y=\"%2\" width=\"10\" height=\"10\" fill=\"url(#hatch)\"/>"
                          "<text x=\"%6\" y=\"%4\">failed</text>\n</svg>\n")
               .arg(Left)
               .arg(Height - 12)
               .arg(Left + 14)
               .arg(Height - 3)
               .arg(Left + 74)
               .arg(Left + 88);
    return out;
}
