#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

// A captioned group of radio buttons with an item index: the number of the
// chosen button, -1 while none is chosen.
class RadioGroup : public QGroupBox
{
    Q_OBJECT
public:
    RadioGroup(const QString &name, const QString &caption, const QStringList &items, QWidget *parent = nullptr);

    int itemIndex() const;
    // -1 (or any index out of range) leaves no button chosen.
    void setItemIndex(int index);
    QRadioButton *item(int index) const;

private:
    QButtonGroup *m_buttons;
};
