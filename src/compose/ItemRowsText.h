#pragma once
// Item rows as text, one row a line: the caption followed by the thirteen cells, the whole
// line written as comma text. Used by the command-line renderer for batch work.
#include "compose/ItemTable.h"

#include <QString>

// Parses rows into table (rows in order; rows not given keep the values of a new row).
// Empty lines and lines starting with '#' are skipped; a row with fewer cells keeps the
// new-row values for the missing ones. Returns false with a message for more than ten rows.
bool readItemRows(const QString &text, ItemTable &table, QString *error);
QString writeItemRows(const ItemTable &table);
