// German message table of the "de" resource module.
#include "platform/win32/StringResources.h"

namespace {
constexpr StringTableEntry kGerman[] = {
    {2001, u"Unbekannter Fehler in %s."},
    {2154, u"Die Seitenentfernung hat Seite %d entfernt."},
    {2155, u"Seite entfernt, weil ihre Größe von %d Bytes unter dem Schwellenwert lag."},
    {2156, u"Die Dateiinformationen konnten nicht abgerufen werden."},
    {2157, u"Nicht unterstützte Bildfarbe."},
    {2158, u"Fehler beim Zugriff auf das Bild"},
    {2159, u"Nicht genügend Arbeitsspeicher"},
    {2160, u"Unbekannter interner Fehler"},
    {2163, u"Die Zone liegt außerhalb der Bildgrenzen."},
    {2164, u"Zone zu klein."},
    {2165, u"Ungültige Bildabmessungen"},
    {2166, u"Ungültiger Parameter."},
    {2167, u"Ungültiger Prozentsatz"},
    {2169, u"Ungültige Qualitätsauswahl"},
    {2170, u"Fehler beim Speichern der Datei"},
    {2172, u"Ungültige DPI"},
    {2173, u"Fehler beim Zugriff auf die Datei"},
    {2174, u"Begradigungswinkel außerhalb des gültigen Bereichs"},
    {2176, u"Ungültiger Begradigungsmodus"},
    {2178, u"Ungültiges Bild"},
    {2219, u"Schwarzweißbilder sind für diesen Vorgang nicht zulässig."},
    {2221, u"Dieser Vorgang unterstützt nur Schwarzweißbilder."},
    {2223, u"Die aktuelle Seite hat eine Größe von %d Bytes."},
    {2301, u"Das Bild muss 1 bpp (schwarzweiß) haben."},
    {2305, u"Das zu glättende Bild muss 1 Bit (schwarzweiß) haben."},
};
}  // namespace

extern "C" __attribute__((visibility("default"))) const StringTableEntry* ZRGetStringTable(std::size_t* count) {
    *count = sizeof(kGerman) / sizeof(kGerman[0]);
    return kGerman;
}
