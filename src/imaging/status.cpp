#include "imaging/status.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace convert {

QString statusText(Status status, StatusWording wording)
{
    if (wording == StatusWording::Number)
        return u"Status Code= "_s + QString::number(statusCode(status));
    if (status == Status::Ok)
        return {};
    if (wording == StatusWording::Caption) {
        switch (status) {
        case Status::SourceNotFound:
            return u"Fichier introuvable"_s;
        case Status::SourceTooLarge:
            return u"Mémoire insuffisante"_s;
        default:
            return u"Image incorrecte"_s;
        }
    }
    switch (status) {
    case Status::Ok:
        return {};
    case Status::SourceNotFound:
        return u"Fichier source introuvable."_s;
    case Status::SourceNotDecodable:
        return u"Fichier source illisible : ce n'est pas une image d'un type connu."_s;
    case Status::SourceTooLarge:
        return u"Image trop grande pour la limite de mémoire."_s;
    case Status::SourceNotRegular:
        return u"Fichier source illisible : ce n'est pas un fichier ordinaire."_s;
    case Status::SourceDamaged:
        return u"Fichier source endommagé : les données de l'image sont incomplètes."_s;
    case Status::NoEncoder:
        return u"Aucun encodeur pour ce format."_s;
    case Status::UnknownFormat:
        return u"Format de sortie inconnu."_s;
    case Status::EncodeFailed:
        return u"L'encodage de l'image a échoué."_s;
    case Status::DestinationNotWritable:
        return u"Impossible d'écrire dans le dossier de sortie."_s;
    case Status::DestinationWriteFailed:
        return u"L'écriture du fichier de sortie a échoué."_s;
    case Status::DestinationTaken:
        return u"Un autre fichier de la liste écrit déjà cette sortie."_s;
    case Status::DestinationExists:
        return u"Le fichier de sortie existe déjà."_s;
    }
    return u"Statut %1."_s.arg(statusCode(status));
}

QString conversionFailureText(const QString& sourcePath, Status status)
{
    return u"il y a eu erreur pendant la conversion de"_s + QFileInfo(sourcePath).fileName() +
           u" !"_s + statusText(status, StatusWording::Number);
}

} // namespace convert
