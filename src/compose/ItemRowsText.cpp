#include "compose/ItemRowsText.h"

#include "core/CommaText.h"

bool readItemRows(const QString &text, ItemTable &table, QString *error)
{
    table.CreateItems();
    int row = 0;
    int lineNumber = 0;
    for (const QString &raw : text.split(QLatin1Char('\n'))) {
        ++lineNumber;
        QString line = raw;
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.trimmed().startsWith(QLatin1Char('#')))
            continue;
        if (row >= ItemCount) {
            if (error)
                *error = QStringLiteral("line %1: more than %2 item rows").arg(lineNumber).arg(ItemCount);
            return false;
        }
        const QStringList fields = fromCommaText(line);
        ItemRow &r = table.rows[size_t(row++)];
        if (!fields.isEmpty())
            r.caption = fields[0];
        for (int c = 0; c < ItemCellCount && c + 1 < fields.size(); ++c)
            r.cells[size_t(c)] = fields[c + 1];
    }
    return true;
}

QString writeItemRows(const ItemTable &table)
{
    QString out;
    for (const ItemRow &r : table.rows) {
        QStringList fields{r.caption};
        for (const QString &cell : r.cells)
            fields << cell;
        out += toCommaText(fields) + QLatin1Char('\n');
    }
    return out;
}
