#pragma once

#include <QList>
#include <QStringList>

class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;

// Grows controls placed at fixed positions until their texts show whole in
// the font the machine actually resolves. A control keeps its place where the
// font allows it; it moves only as far as it must to stay inside its group.
namespace ControlFit {

// Widens and heightens the label for the texts it will show, then moves it
// left where it would reach past its parent's contents (its group's border).
void fitLabel(QLabel *label, const QStringList &texts);

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
