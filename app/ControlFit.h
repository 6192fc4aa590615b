#pragma once

#include <QList>
#include <QRect>
#include <QStringList>

class QComboBox;
class QFont;
class QLabel;
class QLineEdit;
class QWidget;

// Grows controls placed at fixed positions until their texts show whole in
// the font the machine actually resolves. A control keeps its place where the
// font allows it; it moves only as far as it must to stay inside its group.
namespace ControlFit {

// The box the texts need: the advance and any ink past it on either side,
// the full line height or ink height, whichever is taller; and how far ink
// reaches left of the text's start (it is then indented by that much).
struct TextExtent
{
    QSize size;
    int leftOverhang = 0;
};
TextExtent textExtent(const QFont &font, const QStringList &texts);

// Where a control may reach inside its parent: a group's contents, widened
// up to one pixel clear of its frame line.
QRect clearOfBorder(const QWidget *parent);

// Widens and heightens the label for the texts it will show, then moves it
// left where it would reach past its parent's contents (its group's border).
void fitLabel(QLabel *label, const QStringList &texts);

// The text area of an edit or of an editable list's field, as it draws.
QRect textArea(const QLineEdit *edit);
QRect textArea(const QComboBox *list);

// Grows the list (keeping its right edge) until its longest entry shows
// whole, and downwards until a full line of text fits.
void fitList(QComboBox *list);
// Grows the edit downwards until a full line of text fits.
void fitEdit(QLineEdit *edit);

// Puts a label level with the field it names, ending short of it.
void alignWith(QLabel *label, const QWidget *field);
// Gives the labels the left edge of the one furthest left.
void alignColumn(const QList<QLabel *> &labels);

} // namespace ControlFit
