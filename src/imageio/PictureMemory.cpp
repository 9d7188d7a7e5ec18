#include "imageio/PictureMemory.h"

#include <cstdlib>

#ifdef __linux__
#include <sys/mman.h>
#endif

QImage NewPictureImage(int w, int h, QImage::Format format)
{
#ifdef __linux__
    constexpr size_t HugePage = size_t(2) << 20;
    const qsizetype bpl = format == QImage::Format_Indexed8 ? (qsizetype(w) + 3) & ~qsizetype(3) : qsizetype(w) * 4;
    const size_t bytes = size_t(bpl) * size_t(h);
    if (bytes >= 4 * HugePage) {
        const size_t rounded = (bytes + HugePage - 1) & ~(HugePage - 1);
        if (void *mem = std::aligned_alloc(HugePage, rounded)) {
            madvise(mem, rounded, MADV_HUGEPAGE);
            QImage image(static_cast<uchar *>(mem), w, h, bpl, format, [](void *p) { std::free(p); }, mem);
            if (!image.isNull())
                return image;
            std::free(mem);
        }
    }
#endif
    return QImage(w, h, format);
}
