#include "DialogFileChooser.h"

#include <QComboBox>
#include <QFileDialog>

// The text before the patterns is what the operator sees; the patterns list
// both cases, since the files come from tools of either habit.
const QString DialogFileChooser::OpenFilter =
    QStringLiteral("All Hex  Files (*.Hex,*.Rom) (*.HEX *.ROM *.Hex *.Rom *.hex *.rom)");
const QString DialogFileChooser::SaveFilter = QStringLiteral("All Hex  Files (*.Hex) (*.Hex *.HEX *.hex)");
const QString DialogFileChooser::JobFilter = QStringLiteral("Tarvo Jobs (*.tarvojob) (*.tarvojob)");

QString DialogFileChooser::filterName(const QString &filter)
{
    return filter.left(filter.lastIndexOf(QLatin1String(" (")));
}

static QString runDialog(QWidget *parent, QFileDialog::AcceptMode mode, const QString &filter)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    // The dialog's own widgets, so that the filter's name can be shown as
    // written: the dialog collapses its double blank. Filtering goes by the
    // patterns it keeps apart from the shown text.
    dialog.setOptions(QFileDialog::DontConfirmOverwrite | QFileDialog::HideNameFilterDetails
                      | QFileDialog::DontUseNativeDialog);
    dialog.setNameFilter(filter);
    if (auto *types = dialog.findChild<QComboBox *>(QStringLiteral("fileTypeCombo")); types && types->count() == 1)
        types->setItemText(0, DialogFileChooser::filterName(filter));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

QString DialogFileChooser::openFileName()
{
    return runDialog(m_parent, QFileDialog::AcceptOpen, OpenFilter);
}

QString DialogFileChooser::saveFileName()
{
    return runDialog(m_parent, QFileDialog::AcceptSave, SaveFilter);
}

QString DialogFileChooser::openJobName()
{
    return runDialog(m_parent, QFileDialog::AcceptOpen, JobFilter);
}

QString DialogFileChooser::saveJobName()
{
    return runDialog(m_parent, QFileDialog::AcceptSave, JobFilter);
}
