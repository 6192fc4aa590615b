#include "TEditForm.h"

#include "BufferRange.h"
#include "HexListing.h"
#include "MemoryBuffer.h"
#include "SelectionState.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>

namespace {

constexpr int Margin = 8;
constexpr int HeadingHeight = 18;
constexpr int VisibleLines = 24;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 25;

QFont listingFont()
{
    QFont font(QStringLiteral("Courier"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSize(10);
    // Without a Courier the name alone may match a proportional face.
    if (!QFontInfo(font).fixedPitch())
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    return font;
}

} // namespace

TEditForm::TEditForm(const MemoryBuffer &buffer, const SelectionState &selection, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_buffer(buffer), m_selection(selection)
{
    setObjectName(QStringLiteral("EditForm"));
    setWindowTitle(QStringLiteral("Display Hex Buffer"));

    TextDisplay = new QPlainTextEdit(this);
    TextDisplay->setObjectName(QStringLiteral("TextDisplay"));
    // The window's title names it: "Hex Buffer".
    TextDisplay->setAccessibleName(QStringLiteral("Hex Buffer"));
    TextDisplay->setReadOnly(true);
    TextDisplay->setLineWrapMode(QPlainTextEdit::NoWrap);
    TextDisplay->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    TextDisplay->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    TextDisplay->setUndoRedoEnabled(false);
    TextDisplay->setFont(listingFont());

    const QFontMetrics metrics(TextDisplay->font());
    // Advances may be fractional: measure whole runs, not one character.
    const auto advance = [&](int characters) { return metrics.horizontalAdvance(QString(characters, QLatin1Char('0'))); };
    const int frame = TextDisplay->frameWidth();
    const int docMargin = int(TextDisplay->document()->documentMargin());
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, TextDisplay);
    const int textLeft = Margin + frame + docMargin;
    const int displayWidth = 2 * (frame + docMargin) + advance(HexListing::LineLength) + scrollBar + 4;
    const int displayHeight = 2 * (frame + docMargin) + VisibleLines * metrics.lineSpacing();
    TextDisplay->setGeometry(Margin, Margin + HeadingHeight, displayWidth, displayHeight);

    const auto heading = [&](const char *name, const char *text, int column) {
        auto *label = new QLabel(QString::fromLatin1(text), this);
        label->setObjectName(QString::fromLatin1(name));
        label->setGeometry(textLeft + advance(column), Margin, advance(12), HeadingHeight);
        return label;
    };
    Label1 = heading("Label1", "Addr", HexListing::AddressColumn);
    Label2 = heading("Label2", "Hex Data", HexListing::HexColumn);
    Label3 = heading("Label3", "ASCII", HexListing::CharColumn);

    const int width = 2 * Margin + displayWidth;
    const int buttonTop = Margin + HeadingHeight + displayHeight + Margin;
    EditOK = new QPushButton(QStringLiteral("OK"), this);
    EditOK->setObjectName(QStringLiteral("EditOK"));
    EditOK->setDefault(true);
    EditOK->setGeometry((width - ButtonWidth) / 2, buttonTop, ButtonWidth, ButtonHeight);
    connect(EditOK, &QPushButton::clicked, this, &TEditForm::EditOKClick);

    setFixedSize(width, buttonTop + ButtonHeight + Margin);
}

void TEditForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormActivate();
}

void TEditForm::FormActivate()
{
    ShowHexData();
    EditOK->setFocus();
}

void TEditForm::ShowHexData()
{
    const uint16_t limit = BufferRange::viewLimit(m_buffer, m_selection);
    setWindowTitle(QStringLiteral("Display Hex Buffer"));
    TextDisplay->setPlainText(HexListing::text(m_buffer, limit));
}

void TEditForm::EditOKClick()
{
    accept();
}
