#include "memories/MemoryTable.h"

#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>

TMemoryRow* MemoryRowOf(const TMemoryRows& rows, long long number) {
    if (number < 1 || number > MemoryCount) {
        return nullptr;
    }
    return rows[static_cast<size_t>(number)].get();
}

THeaderLabels BuildHeaderLabels(QWidget* window) {
    struct Header {
        const char* text;
        int offset;
        int top;
    };
    static const Header headers[] = {
        {"#", NumberOffset, HeaderTop},
        {"Label", LabelOffset, HeaderTop},
        {"TX Freq", TxOffset, HeaderTop},
        {"RX Freq", RxOffset, HeaderTop},
        {"     Sub-Audible", ModeOffset, HeaderUpperTop},
        {"Mode", ModeOffset, HeaderTop},
        {"Code", CodeOffset, HeaderTop},
    };
    THeaderLabels labels{};
    for (size_t i = 0; i < labels.size(); ++i) {
        labels[i] = new QLabel(QString::fromLatin1(headers[i].text), window);
        labels[i]->move(HeaderLeft + headers[i].offset, headers[i].top);
        labels[i]->adjustSize();
    }
    return labels;
}

void BuildMemoryRows(QScrollArea* panel, TMemoryRows& rows) {
    auto* content = new QWidget;
    for (int position = 0; position < MemoryCount; ++position) {
        rows[static_cast<size_t>(position + 1)] =
            std::make_unique<TMemoryRow>(content, position, RowLeft, RowTop(position));
    }
    const QWidget* lastControl = rows[MemoryCount]->CodeBox();
    content->resize(lastControl->geometry().right() + RowLeft,
                    lastControl->geometry().bottom() + FirstRowTop);
    panel->setWidget(content);
}
