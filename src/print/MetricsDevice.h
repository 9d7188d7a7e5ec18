#pragma once
// A paint device that only answers metrics: the rich-text layout asks it for the
// resolution and sheet size of the reference device, so line breaks are those of the
// printed page.
#include <QPaintDevice>

class TPageRecorder::MetricsDevice : public QPaintDevice
{
public:
    MetricsDevice(int dpiX, int dpiY, int width, int height) : dpiX_(dpiX), dpiY_(dpiY), width_(width), height_(height) {}
    QPaintEngine *paintEngine() const override { return nullptr; }
    bool sameAs(int dpiX, int dpiY) const { return dpiX == dpiX_ && dpiY == dpiY_; }

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth: return width_;
        case PdmHeight: return height_;
        case PdmWidthMM: return width_ * 254 / (10 * dpiX_);
        case PdmHeightMM: return height_ * 254 / (10 * dpiY_);
        case PdmDpiX:
        case PdmPhysicalDpiX: return dpiX_;
        case PdmDpiY:
        case PdmPhysicalDpiY: return dpiY_;
        case PdmDepth: return 32;
        case PdmNumColors: return 0x7fffffff;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
        default: return 0;
        }
    }

private:
    int dpiX_, dpiY_, width_, height_;
};
