#include "imageio/WmfPlayer.h"

#include "core/MessageText.h"
#include "imageio/MetafileInternal.h"
#include "imageio/WmfDevice.h"

#include <QPainter>

#include <cmath>
#include <memory>

namespace metafile {
namespace {

// One run of the player over a prepared metafile: created and scanned on construction.
class WmfPlayer
{
public:
    WmfPlayer(PreparedWmf &wmf, WmfCanvas &canvas) : wmf_(wmf), canvas_(canvas)
    {
        wmfAPI_Options options{};
        options.function = installDevice;
        const unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
        wmfAPI *api = nullptr;
        const wmf_error_t created = wmf_lite_create(&api, flags, &options);
        api_.reset(api);
        if (created != wmf_E_None || !api || !api->device_data)
            fail(messageText("The metafile could not be drawn: out of memory."));
        *static_cast<WmfCanvas **>(api->device_data) = &canvas_;
        auto *fonts = static_cast<wmfFontData *>(wmf_malloc(api, sizeof(wmfFontData)));
        if (!fonts)
            fail(messageText("The metafile could not be drawn: out of memory."));
        fonts->map = mapFont;
        fonts->stringwidth = stringWidth;
        fonts->user_data = nullptr;
        api->font_data = fonts;
        check(wmf_mem_open(api, reinterpret_cast<unsigned char *>(wmf_.data.data()), long(wmf_.data.size())));
        check(wmf_scan(api, 0, &box_));
        if (wmf_.units.isEmpty()) {
            // No extent given: the picture is what it draws, from the origin.
            if (!(box_.BR.x > 0) || !(box_.BR.y > 0))
                fail(messageText("The metafile has no size."));
            wmf_.units = QSizeF(std::ceil(box_.BR.x), std::ceil(box_.BR.y));
            wmf_.size = extentSize(wmf_.units);
        }
    }
    void play() { check(wmf_play(api_.get(), 0, &box_)); }

private:
    void check(wmf_error_t error)
    {
        if (canvas_.tooLarge)
            fail(messageText("The metafile's bitmaps are beyond the limits."));
        switch (error) {
        case wmf_E_None: return;
        case wmf_E_InsMem: fail(messageText("The metafile could not be drawn: out of memory."));
        case wmf_E_EOF: fail(messageText("The metafile ends early."));
        default: fail(messageText("The metafile's records are damaged."));
        }
    }

    struct Destroy
    {
        void operator()(wmfAPI *api) const { wmf_lite_destroy(api); }
    };

    PreparedWmf &wmf_;
    WmfCanvas &canvas_;
    std::unique_ptr<wmfAPI, Destroy> api_; // released also when the constructor throws
    wmfD_Rect box_{};
};

} // namespace

void measureWmf(PreparedWmf &wmf)
{
    if (wmf.units.isEmpty()) {
        WmfCanvas canvas;
        WmfPlayer player(wmf, canvas);
    }
}

void drawWmf(PreparedWmf &wmf, Raster &picture)
{
    WmfCanvas canvas;
    WmfPlayer player(wmf, canvas);
    QImage work = picture.isEmpty() ? QImage(1, 1, QImage::Format_RGB32)
                                    : picture.image().convertToFormat(QImage::Format_RGB32);
    if (work.isNull())
        fail(messageText("The metafile could not be drawn: out of memory."));
    {
        QPainter painter(&work);
        painter.setRenderHint(QPainter::Antialiasing);
        const double sx = wmf.size.width() / wmf.units.width(), sy = wmf.size.height() / wmf.units.height();
        painter.setTransform(QTransform::fromScale(sx, sy));
        // Nothing is drawn outside the picture's own area, however far its records reach.
        canvas.area = QRectF(QPointF(0, 0), wmf.units);
        painter.setClipRect(canvas.area);
        canvas.painter = &painter;
        canvas.scaleY = sy;
        player.play();
        canvas.painter = nullptr;
    }
    if (!picture.isEmpty())
        picture.paintable() = work;
}

} // namespace metafile
