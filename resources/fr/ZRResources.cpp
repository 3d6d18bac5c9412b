// French message table of the "fr" resource module.
#include "platform/win32/StringResources.h"

namespace {
constexpr StringTableEntry kFrench[] = {
    {2001, u"Erreur inconnue dans %s."},
    {2154, u"La suppression de pages a supprimé la page %d."},
    {2155, u"Page supprimée car sa taille, %d octets, était inférieure au seuil."},
    {2156, u"Impossible d'obtenir les informations du fichier."},
    {2157, u"Couleur d'image non prise en charge."},
    {2158, u"Erreur d'accès à l'image"},
    {2159, u"Mémoire insuffisante"},
    {2160, u"Erreur interne inconnue"},
    {2163, u"La zone est en dehors des limites de l'image."},
    {2164, u"Zone trop petite."},
    {2165, u"Dimensions d'image non valides"},
    {2166, u"Paramètre non valide."},
    {2167, u"Pourcentage non valide"},
    {2169, u"Sélection de qualité non valide"},
    {2170, u"Erreur lors de l'enregistrement du fichier"},
    {2172, u"DPI non valide"},
    {2173, u"Erreur d'accès au fichier"},
    {2174, u"Angle de redressement hors limites"},
    {2176, u"Mode de redressement non valide"},
    {2178, u"Image non valide"},
    {2219, u"Les images en noir et blanc ne sont pas valides pour ce traitement."},
    {2221, u"Seules les images en noir et blanc sont prises en charge par ce traitement."},
    {2223, u"La page actuelle a une taille de %d octets."},
    {2301, u"L'image doit être en 1 bpp (noir et blanc)."},
    {2305, u"L'image à lisser doit être en 1 bit (noir et blanc)."},
};
}  // namespace

extern "C" __attribute__((visibility("default"))) const StringTableEntry* ZRGetStringTable(std::size_t* count) {
    *count = sizeof(kFrench) / sizeof(kFrench[0]);
    return kFrench;
}
