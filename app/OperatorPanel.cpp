#include "OperatorPanel.h"

#include "RecordSummary.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QMainWindow>
#include <QVBoxLayout>

namespace {

QLabel *field(QGridLayout *grid, int row, int column, const QString &name, const char *objectName, int span = 1)
{
    auto *caption = new QLabel(name + QLatin1Char(':'));
    auto *value = new QLabel;
    value->setObjectName(QLatin1String(objectName));
    value->setAccessibleName(name);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    caption->setBuddy(value);
    grid->addWidget(caption, row, column);
    grid->addWidget(value, row, column + 1, 1, span);
    return value;
}

QString yieldText(int passed, int done)
{
    const std::optional<double> percent = RecordCounts{passed, done - passed}.yieldPercent();
    if (!percent)
        return QStringLiteral("-");
    return QStringLiteral("%1 % (%2 of %3)").arg(QString::number(*percent, 'f', 1)).arg(passed).arg(done);
}

} // namespace

OperatorPanel::OperatorPanel(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("OperatorPanel"));
    setAccessibleName(QStringLiteral("Job"));
    // The status bar's font: the window's own is too wide for five fields.
    setFont(QApplication::font());
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(7, 4, 7, 4);
    grid->setVerticalSpacing(2);
    m_operator = field(grid, 0, 0, QStringLiteral("Operator"), "JobOperator");
    m_lot = field(grid, 0, 2, QStringLiteral("Lot"), "JobLot");
    m_serial = field(grid, 1, 0, QStringLiteral("Next serial"), "JobNextSerial", 3);
    m_done = field(grid, 2, 0, QStringLiteral("Devices"), "JobDevices");
    m_yield = field(grid, 2, 2, QStringLiteral("Yield"), "JobYield");
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
}

void OperatorPanel::attach(QMainWindow *window)
{
    if (m_client)
        return;
    // The window's own area goes into a column with the panel under it, as
    // it stands: its controls keep their places.
    m_client = window->takeCentralWidget();
    auto *column = new QWidget;
    column->setObjectName(QStringLiteral("OperatorColumn"));
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_client);
    layout->addWidget(this);
    window->setCentralWidget(column);
    m_client->show();
    QWidget::show();
    column->show();
    window->setMinimumSize(0, 0);
    window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    window->setFixedSize(window->sizeHint());
}

void OperatorPanel::detach(QMainWindow *window)
{
    if (!m_client)
        return;
    QWidget *column = window->takeCentralWidget();
    hide();
    setParent(nullptr);
    m_client->setParent(nullptr);
    window->setCentralWidget(m_client);
    m_client->show();
    m_client = nullptr;
    delete column;
    window->setMinimumSize(0, 0);
    window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    window->setFixedSize(window->sizeHint());
}

void OperatorPanel::show(const Figures &f)
{
    m_operator->setText(f.operatorName.isEmpty() ? QStringLiteral("-") : f.operatorName);
    m_lot->setText(f.lot.isEmpty() ? QStringLiteral("-") : f.lot);
    m_serial->setText(f.nextSerial.isEmpty() ? QStringLiteral("none") : f.nextSerial);
    m_done->setText(f.devices > 0 ? QStringLiteral("%1 of %2").arg(f.done).arg(f.devices)
                                  : QStringLiteral("%1 (no limit)").arg(f.done));
    m_yield->setText(yieldText(f.passed, f.done));
}

QString OperatorPanel::text() const
{
    return QStringLiteral("Operator: %1; Lot: %2; Next serial: %3; Devices: %4; Yield: %5")
        .arg(m_operator->text(), m_lot->text(), m_serial->text(), m_done->text(), m_yield->text());
}
