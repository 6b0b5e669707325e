#include "app/NumberBoxLook.h"

#include <QApplication>
#include <QLineEdit>

void TNumberBoxLook::Select(int first, int last) {
    const int before[] = {first_, last_};
    first_ = first;
    last_ = last;
    for (int memory = 1; memory <= MemoryCount; ++memory) {
        const bool was = before[0] != before[1] && memory >= before[0] && memory <= before[1];
        const bool is = first != last && memory >= first && memory <= last;
        if (was || is) {
            Paint(memory);
        }
    }
}

void TNumberBoxLook::SetDiffering(int memory, bool differing) {
    differing_[static_cast<size_t>(memory)] = differing;
    Paint(memory);
}

void TNumberBoxLook::Paint(int memory) {
    QLineEdit* box = rows_[static_cast<size_t>(memory)]->NumberBox();
    const bool selected = first_ != last_ && memory >= first_ && memory <= last_;
    const QPalette standard = QApplication::palette(box);
    QPalette palette; // roles left unset are inherited
    if (differing_[static_cast<size_t>(memory)]) {
        palette.setColor(QPalette::Base, WarningColour);
        palette.setColor(QPalette::Text,
                         selected ? standard.color(QPalette::Highlight) : QColor(Qt::black));
    } else if (selected) {
        palette.setColor(QPalette::Base, standard.color(QPalette::Highlight));
        palette.setColor(QPalette::Text, standard.color(QPalette::HighlightedText));
    }
    box->setPalette(palette);
}
