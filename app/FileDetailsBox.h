#pragma once

#include "memories/CsvFile.h"

#include <QString>

class QWidget;

// Tells what a load or save could not do as asked: the status line's text, with each row or
// memory behind its "Show Details..." button. Shows nothing when there is nothing to tell.
void ShowFileDetails(QWidget* parent, const QString& summary, const TFileDetails& details);
