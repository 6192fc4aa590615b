#include "ControlFit.h"

#include <QComboBox>
#include <QGroupBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <algorithm>

namespace {

// QLineEdit keeps this many pixels free on each side of its text, and
// scrolls as soon as the cursor after the last character would not show.
constexpr int EditSideMargin = 2;
constexpr int CursorWidth = 1;
// Free pixels between a label and the field it names.
constexpr int LabelGap = 3;

void setBox(QWidget *w, const QRect &r)
{
    w->setFixedSize(r.size());
    w->setGeometry(r);
}

// Where a control may reach inside its parent: a group's contents, widened
// up to one pixel clear of its frame line.
QRect clearOfBorder(const QWidget *parent)
{
    // A group's contents keep a margin inside its frame; a text may use it
    // as long as one pixel stays free next to the frame line.
    if (qobject_cast<const QGroupBox *>(parent)) {
        const int frame = parent->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, parent) + 1;
        QRect r = parent->rect().adjusted(frame, frame, -frame, -frame);
        r.setTop(parent->contentsRect().top());
        return r;
    }
    return parent->contentsRect();
}

// The box the texts need: the advance and any ink past it on either side,
// the full line height or ink height, whichever is taller; and how far ink
// reaches left of the text's start (it is then indented by that much).
struct TextExtent
{
    QSize size;
    int leftOverhang = 0;
};

TextExtent textExtent(const QFont &font, const QStringList &texts)
{
    const QFontMetrics fm(font);
    TextExtent extent;
    int right = 0;
    int height = fm.height();
    for (const QString &text : texts) {
        const QRect ink = fm.boundingRect(text);
        // The line box as QPainter lays it out, leading included.
        const QRect line = fm.boundingRect(QRect(0, 0, 4096, 4096), Qt::AlignLeft | Qt::AlignTop, text);
        right = std::max({right, fm.horizontalAdvance(text), line.width(), ink.x() + ink.width()});
        extent.leftOverhang = std::max(extent.leftOverhang, -ink.x());
        height = std::max({height, line.height(), ink.height()});
    }
    extent.size = QSize(extent.leftOverhang + right, height);
    return extent;
}

// The text area of an edit or of an editable list's field, as it draws.
QRect textArea(const QLineEdit *edit)
{
    QStyleOptionFrame opt;
    opt.initFrom(edit);
    opt.rect = edit->rect();
    opt.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, edit) : 0;
    const QRect contents = edit->style()->subElementRect(QStyle::SE_LineEditContents, &opt, edit);
    return contents.marginsRemoved(edit->textMargins()).adjusted(EditSideMargin, 0, -EditSideMargin, 0);
}

QRect textArea(const QComboBox *list)
{
    QStyleOptionComboBox opt;
    opt.initFrom(list);
    opt.rect = list->rect();
    opt.editable = list->isEditable();
    opt.frame = list->hasFrame();
    const QRect field = list->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, list);
    return field.adjusted(EditSideMargin, 0, -EditSideMargin, 0);
}

} // namespace

namespace ControlFit {

void fitLabel(QLabel *label, const QStringList &texts)
{
    const TextExtent extent = textExtent(label->font(), texts);
    const QSize need = extent.size;
    if (extent.leftOverhang > 0)
        label->setIndent(extent.leftOverhang);
    QRect r = label->geometry();
    r.setWidth(std::max(r.width(), need.width()));
    r.setHeight(std::max(r.height(), need.height()));
    if (const QWidget *parent = label->parentWidget()) {
        const QRect inside = clearOfBorder(parent);
        if (r.right() > inside.right())
            r.moveRight(inside.right());
        if (r.left() < inside.left())
            r.moveLeft(inside.left());
    }
    setBox(label, r);
}

void fitList(QComboBox *list)
{
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries << list->itemText(i);
    const QSize need = textExtent(list->font(), entries).size;
    const QRect area = textArea(list);
    QRect r = list->geometry();
    r.setLeft(r.left() - std::max(0, need.width() + CursorWidth - area.width()));
    r.setHeight(r.height() + std::max(0, need.height() - area.height()));
    setBox(list, r);
}

void fitEdit(QLineEdit *edit)
{
    const int need = QFontMetrics(edit->font()).height();
    QRect r = edit->geometry();
    r.setHeight(r.height() + std::max(0, need - textArea(edit).height()));
    setBox(edit, r);
}

void alignColumn(const QList<QLabel *> &labels)
{
    int left = labels.first()->x();
    for (const QLabel *label : labels)
        left = std::min(left, label->x());
    for (QLabel *label : labels)
        label->move(left, label->y());
}

void alignWith(QLabel *label, const QWidget *field)
{
    QRect r = label->geometry();
    const int need = textExtent(label->font(), {label->text()}).size.width();
    // End a few pixels short of the field, moving left into the group's
    // margin if the text needs it.
    const int end = field->x() - LabelGap - 1;
    r.setRight(std::min(r.right(), std::max(r.left() + need - 1, end)));
    if (r.right() > end && label->parentWidget())
        r.moveRight(std::max(end, clearOfBorder(label->parentWidget()).left() + r.width() - 1));
    r.setHeight(std::max(r.height(), field->height()));
    r.moveTop(field->y() + (field->height() - r.height()) / 2);
    setBox(label, r);
}

} // namespace ControlFit
