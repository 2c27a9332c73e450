#include "text/CbmCharset.h"

#include "text/Settings.h"

namespace tessarind {

ColourScheme MakeColourScheme(bool useCbmColours, const SystemColours& system) {
    if (!useCbmColours)
        return {system.windowText, system.window,     system.highlight,
                system.buttonFace, system.buttonText, system.grayText};
    return {PaletteRgb(CbmColour::LtBlue), PaletteRgb(CbmColour::Blue),
            PaletteRgb(CbmColour::White),  PaletteRgb(CbmColour::Blue),
            PaletteRgb(CbmColour::LtBlue), Rgb(192, 192, 192)};
}

ColourScheme MakeColourScheme(const Settings& settings, const SystemColours& system) {
    return MakeColourScheme(settings.On(SettingId::UseCbmColors), system);
}

} // namespace tessarind
