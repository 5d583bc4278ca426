#include "convert/status.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace convert {

QString conversionFailureText(const QString& sourcePath, Status status)
{
    return u"il y a eu erreur pendant la conversion de"_s + QFileInfo(sourcePath).fileName() +
           u" !"_s + u"Status Code= "_s + QString::number(statusCode(status));
}

} // namespace convert
