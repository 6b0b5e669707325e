#include "app/FileDialog.h"

#include <QFileDialog>
#include <QFileInfo>

bool TFileDialog::Execute() {
    QString chosenFilter;
    return Run(
        {QStringLiteral("Memory and CSV files (*.mem *.csv)"), QStringLiteral("All files (*)")},
        chosenFilter);
}

bool TFileDialog::ExecuteSave(TFileType& type) {
    QString chosenFilter;
    if (!Run({Filter, CsvFilter}, chosenFilter)) {
        return false;
    }
    const bool csv =
        chosenFilter == CsvFilter || FileName.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive);
    type = csv ? TFileType::Csv : TFileType::Memory;
    return true;
}

bool TFileDialog::Run(const QStringList& filters, QString& chosenFilter) {
    QFileDialog dialog(parent_);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile); // the chosen file need not exist
    dialog.setDefaultSuffix(DefaultExt);
    dialog.setNameFilters(filters);
    // A name typed without extension gets the one of the type chosen.
    QObject::connect(
        &dialog, &QFileDialog::filterSelected, &dialog, [this, &dialog](const QString& filter) {
            dialog.setDefaultSuffix(filter == CsvFilter ? QStringLiteral("csv") : DefaultExt);
        });
    const QFileInfo last(FileName);
    dialog.setDirectory(FileName.contains(QLatin1Char('/')) ? last.absolutePath() : InitialDir);
    dialog.selectFile(last.fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return false;
    }
    FileName = dialog.selectedFiles().constFirst();
    chosenFilter = dialog.selectedNameFilter();
    return true;
}
