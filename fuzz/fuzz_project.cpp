// libFuzzer target for the project file reader: any input either reads whole or throws
// LetrafexError. A project that reads must survive writing and reading back with the
// same rows, geometry, pictures and surfaces.
#include "compose/ProjectFile.h"
#include "core/Errors.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
bool sameLayer(const ProjectLayer &a, const ProjectLayer &b)
{
    return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height &&
           a.picture.isEmpty() == b.picture.isEmpty() && (a.picture.isEmpty() || a.picture.samePixels(b.picture));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    Project project;
    try {
        project = ReadProject(bytes);
    } catch (const LetrafexError &) {
        return 0;
    }
    Project again;
    try {
        again = ReadProject(WriteProject(project));
    } catch (const LetrafexError &) {
        std::abort(); // what the writer wrote must read
    }
    if (again.rows != project.rows || !sameLayer(again.title, project.title) || !sameLayer(again.bg, project.bg))
        std::abort();
    for (size_t k = 0; k < project.surfaces.size(); ++k) {
        const Raster &a = project.surfaces[k];
        const Raster &b = again.surfaces[k];
        if (a.isEmpty() != b.isEmpty() || (!a.isEmpty() && !a.samePixels(b)))
            std::abort();
    }
    return 0;
}
