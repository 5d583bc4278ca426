#include "preview/previewloading.h"

#include "imaging/pictureloader.h"
#include "preview/fitrule.h"

namespace preview {

FittedPicture loadFitted(const QString& path, QSize area)
{
    const convert::PictureProbe probe = convert::PictureLoader::probe(path);
    if (probe.status != convert::Status::Ok)
        return {probe.status, {}, {}};
    const QRectF target = fitAndDraw(probe.uprightSize.width(), probe.uprightSize.height(),
                                     area.width(), area.height());
    if (target.isEmpty())
        return {convert::Status::SourceNotDecodable, {}, {}};
    convert::LoadedPicture loaded = convert::PictureLoader::loadScaled(path, decodeSize(target));
    if (!loaded.ok())
        return {loaded.status, {}, {}};
    return {convert::Status::Ok, std::move(loaded.image), target};
}

QString loadFailureText(convert::Status status)
{
    return convert::statusText(status, convert::StatusWording::Caption);
}

} // namespace preview
