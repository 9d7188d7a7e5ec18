#pragma once
// The composition the drawing benchmarks time: ten items of one line each (48 pt Arial,
// depth 50, 3D), spread over a full-HD picture, each in another direction.
#include "compose/ItemTable.h"

namespace bench {

inline ItemTable tenDeepItems()
{
    ItemTable table;
    for (int k = 0; k < ItemCount; ++k) {
        ItemRow &r = table.rows[size_t(k)];
        r.caption = QStringLiteral("Letrafex%1").arg(k);
        r.cells[CellFontDepth] = QStringLiteral("50");
        r.cells[CellXPos] = QString::number(60 + 40 * k);
        r.cells[CellYPos] = QString::number(60 + 90 * k);
        r.cells[CellDirection] = QString::number(1 + k % 6);
        r.cells[CellAlignment] = QStringLiteral("1");
        r.cells[CellStyleSet] = QStringLiteral("0");
    }
    return table;
}

} // namespace bench
