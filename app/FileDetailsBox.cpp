#include "app/FileDetailsBox.h"

#include <QMessageBox>

void ShowFileDetails(QWidget* parent, const QString& summary, const TFileDetails& details) {
    if (details.empty()) {
        return;
    }
    QString lines;
    for (const std::string& detail : details) {
        lines += QString::fromUtf8(detail.data(), static_cast<qsizetype>(detail.size())) + '\n';
    }
    QMessageBox box(QMessageBox::Information, QString(), summary, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText); // it quotes the file's name and contents
    box.setDetailedText(lines);
    box.exec();
}
