#include "viewer/core/viewer_settings.h"

#include <cstdint>
#include <vector>

namespace kestrom {

ViewerSettings readViewerSettings(RegistryStore& store, const std::string& serialText,
                                  const ViewerSettings& d) {
    TRegUtil reg(store, kViewerKeyBase + serialText);
    ViewerSettings s;
    s.dataPath = reg.ReadString("DataPath", d.dataPath);
    s.left = reg.ReadInteger("Left", d.left);
    s.top = reg.ReadInteger("Top", d.top);
    s.height = reg.ReadInteger("Height", d.height);
    s.width = reg.ReadInteger("Width", d.width);
    s.results = reg.ReadBool("Results", d.results);
    s.crosshair = reg.ReadBool("Crosshair", d.crosshair);
    s.cursor = reg.ReadBool("Cursor", d.cursor);
    s.aperture = reg.ReadBool("Aperture", d.aperture);
    s.colorBar = reg.ReadBool("ColorBar", d.colorBar);
    s.showColor = reg.ReadBool("ShowColor", d.showColor);
    s.hasLens = reg.ReadBool("HasLens", d.hasLens);
    return s;
}

RegistryWriteError writeViewerSettings(RegistryStore& store, const std::string& serialText,
                                       const ViewerSettings& s) {
    auto integer = [](int v) { return RegistryValue::number(static_cast<std::uint32_t>(v)); };
    auto flag = [](bool v) { return RegistryValue::number(v ? 1 : 0); };
    const std::vector<NamedRegistryValue> values{
        {"DataPath", RegistryValue::string(s.dataPath)},
        {"Left", integer(s.left)},
        {"Top", integer(s.top)},
        {"Height", integer(s.height)},
        {"Width", integer(s.width)},
        {"Results", flag(s.results)},
        {"Crosshair", flag(s.crosshair)},
        {"Cursor", flag(s.cursor)},
        {"Aperture", flag(s.aperture)},
        {"ColorBar", flag(s.colorBar)},
        {"ShowColor", flag(s.showColor)},
        {"HasLens", flag(s.hasLens)},
    };
    return store.setValues(RegistryHive::CurrentUser, kViewerKeyBase + serialText, values);
}

}  // namespace kestrom
