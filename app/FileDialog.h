#pragma once

#include <QString>

class QWidget;

// The one open-file dialog of the window; it serves loading and saving alike. After a confirmed
// choice FileName holds the chosen path, and the dialog opens with it the next time.
class TFileDialog {
public:
    explicit TFileDialog(QWidget* parent) : parent_(parent) {}

    QString DefaultExt = QStringLiteral("mem");
    QString FileName = QStringLiteral("*.mem");
    QString Filter = QStringLiteral("*.mem");
    QString InitialDir = QStringLiteral(".");

    // Runs the dialog modally; true when the user confirmed a file.
    bool Execute();

private:
    QWidget* parent_;
};
