#include "app/FileDialog.h"

#include <QFileDialog>
#include <QFileInfo>

bool TFileDialog::Execute() {
    QFileDialog dialog(parent_);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile); // the chosen file need not exist
    dialog.setDefaultSuffix(DefaultExt);
    dialog.setNameFilter(Filter);
    const QFileInfo last(FileName);
    dialog.setDirectory(FileName.contains(QLatin1Char('/')) ? last.absolutePath() : InitialDir);
    dialog.selectFile(last.fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return false;
    }
    FileName = dialog.selectedFiles().constFirst();
    return true;
}
