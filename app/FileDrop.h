#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QWidget;

// A file dropped anywhere on the window is opened, as Load Existing File opens a chosen file. The
// boxes of the table take drops of text themselves, so the drop is caught for the whole
// application before it reaches them; text that is no local file still drops into a box.
class TFileDrop : public QObject {
public:
    TFileDrop(QWidget* window, std::function<void(const QString& fileName)> open);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    std::function<void(const QString&)> open_;
};
