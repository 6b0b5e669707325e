#pragma once

#include "memories/MemoryRow.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QStringList>

// Opens the menu of a memory's number box as a right click does, and finds its items.
inline QMenu* OpenRowMenu(const TMemoryRow& row) {
    QLineEdit* box = row.NumberBox();
    const QPoint inside(4, 4);
    QContextMenuEvent event(QContextMenuEvent::Mouse, inside, box->mapToGlobal(inside));
    QApplication::sendEvent(box, &event);
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

inline QStringList CaptionsOf(const QMenu* menu) {
    QStringList captions;
    for (const QAction* item : menu->actions()) {
        captions << (item->isSeparator() ? QStringLiteral("-") : item->text());
    }
    return captions;
}

// The item with `caption`, or none.
inline QAction* MenuItem(const QMenu* menu, const QString& caption) {
    for (QAction* item : menu->actions()) {
        if (item->text() == caption) {
            return item;
        }
    }
    return nullptr;
}

// Chooses an item of the row menu as a click does: the menu closes, then the item acts. False when
// the menu has no such item or it is off.
[[nodiscard]] inline bool ChooseRowMenuItem(const TMemoryRow& row, const QString& caption) {
    QMenu* menu = OpenRowMenu(row);
    QAction* item = menu == nullptr ? nullptr : MenuItem(menu, caption);
    if (menu != nullptr) {
        menu->close();
    }
    if (item == nullptr || !item->isEnabled()) {
        return false;
    }
    item->trigger();
    return true;
}
