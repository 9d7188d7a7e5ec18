#include "imageio/MetafileCodec.h"

#include "core/FileBytes.h"
#include "core/MessageText.h"
#include "imageio/EmfReader.h"
#include "imageio/MetafileInternal.h"
#include "imageio/WmfChecks.h"
#include "imageio/WmfPlayer.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>

extern "C" {
#include <uemf.h>
}

using namespace metafile;

namespace {

constexpr quint32 PlaceableKey = 0x9AC6CDD7;

enum class MetafileKind { Enhanced, Placeable, Standard };

MetafileKind kindOf(const QByteArray &data)
{
    const Bytes b(data);
    if (b.has(0, 4) && b.u32(0) == U_EMR_HEADER)
        return MetafileKind::Enhanced;
    if (b.has(0, 4) && b.u32(0) == PlaceableKey)
        return MetafileKind::Placeable;
    if (isWmfHeader(b, 0))
        return MetafileKind::Standard;
    fail(messageText("The file is not a metafile."));
}

} // namespace

QSize metafile::pictureSize(double width, double height)
{
    if (!std::isfinite(width) || !std::isfinite(height) || width > Raster::MaxSide || height > Raster::MaxSide)
        fail(messageText("The metafile's size is beyond the limits of %1 pixels a side.").arg(Raster::MaxSide));
    const QSize size(qMax(1, qRound(width)), qMax(1, qRound(height)));
    if (!Raster::sizeAllowed(size.width(), size.height()))
        fail(messageText("The metafile's size of %1 x %2 pixels is beyond the limits.")
              .arg(size.width()).arg(size.height()));
    return size;
}

QSize MetafileSize(const QByteArray &data)
{
    const MetafileKind kind = kindOf(data);
    if (kind == MetafileKind::Enhanced)
        return prepareEmf(data).size;
    PreparedWmf wmf = prepareWmf(data, kind == MetafileKind::Placeable);
    measureWmf(wmf);
    return wmf.size;
}

void ReadMetafile(const QByteArray &data, Raster &picture)
{
    const MetafileKind kind = kindOf(data);
    if (kind == MetafileKind::Enhanced) {
        PreparedEmf emf = prepareEmf(data);
        drawEmf(emf, picture);
    } else {
        PreparedWmf wmf = prepareWmf(data, kind == MetafileKind::Placeable);
        drawWmf(wmf, picture);
    }
}

void LoadMetafile(const QString &fileName, Raster &picture)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        fail(messageText("Cannot open file \"%1\". %2").arg(QFileInfo(fileName).fileName(), file.errorString()));
    if (file.size() > Raster::MaxBytes)
        fail(messageText("The metafile \"%1\" is too large.").arg(QFileInfo(fileName).fileName()));
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        fail(messageText("Cannot read file \"%1\". %2").arg(QFileInfo(fileName).fileName(), file.errorString()));
    ReadMetafile(data, picture);
}

void SaveMetafile(const QString &fileName, const Raster &picture)
{
    writeWholeFile(fileName, EncodeMetafile(picture));
}
