#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// What Save As writes.
enum class TFileType { Memory, Csv };

// The one open-file dialog of the window; it serves loading and saving alike. After a confirmed
// choice FileName holds the chosen path, and the dialog opens with it the next time.
class TFileDialog {
public:
    explicit TFileDialog(QWidget* parent) : parent_(parent) {}

    QString DefaultExt = QStringLiteral("mem");
    QString FileName = QStringLiteral("*.mem");
    QString Filter = QStringLiteral("*.mem");
    QString InitialDir = QStringLiteral(".");

    // Load Existing File: memory files and CSV files, or any file. True when the user confirmed
    // one.
    bool Execute();
    // Save As: the memory file, first, or CSV for other radio programs. `type` is CSV when the
    // user chose that type or a name ending in .csv.
    bool ExecuteSave(TFileType& type);

private:
    bool Run(const QStringList& filters, QString& chosenFilter);

    QWidget* parent_;
};

// The file type that Save As offers beside the memory file.
inline const QString CsvFilter = QStringLiteral("CSV for other radio programs (*.csv)");
