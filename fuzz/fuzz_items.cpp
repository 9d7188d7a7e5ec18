// Item rows as the command-line renderer reads them: parsing and loading every row into
// the editing values must never fail, whatever the text holds.
#include "compose/ItemRowsText.h"
#include "core/CommaText.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    ItemTable table;
    QString error;
    if (!readItemRows(text, table, &error))
        return 0;
    ItemAttributes controls;
    std::uint8_t type = 1;
    for (int k = 0; k < ItemCount; ++k) {
        loadItemRow(table.rows[size_t(k)], table.surfaces[size_t(k)], controls, type);
        if (controls.fontSize < MinFontSize || controls.fontSize > MaxFontSize || controls.depth < MinDepth ||
            controls.depth > MaxDepth)
            __builtin_trap();
        (void)positionValue(controls.xText);
        storeItemRow(controls, type, table.rows[size_t(k)], table.surfaces[size_t(k)]);
        if (fromCommaText(table.rows[size_t(k)].caption) != controls.lines)
            __builtin_trap(); // comma text must round-trip every list of lines
    }
    return 0;
}
