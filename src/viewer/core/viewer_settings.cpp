#include "viewer/core/viewer_settings.h"

#include <cstdint>
#include <vector>

#include "viewer/core/beam_statistics.h"

namespace kestrom {
namespace {

// Every value under its name, once for reading and writing.
struct IntegerValue {
    const char* name;
    int ViewerSettings::*field;
};
constexpr IntegerValue kIntegers[] = {{"Left", &ViewerSettings::left},
                                      {"Top", &ViewerSettings::top},
                                      {"Height", &ViewerSettings::height},
                                      {"Width", &ViewerSettings::width},
                                      {"WidthMethod", &ViewerSettings::widthMethod},
                                      {"StatisticsFrames", &ViewerSettings::statisticsFrames}};
struct BoolValue {
    const char* name;
    bool ViewerSettings::*field;
};
constexpr BoolValue kBools[] = {
    {"Results", &ViewerSettings::results},     {"Crosshair", &ViewerSettings::crosshair},
    {"Cursor", &ViewerSettings::cursor},       {"Aperture", &ViewerSettings::aperture},
    {"ColorBar", &ViewerSettings::colorBar},   {"ShowColor", &ViewerSettings::showColor},
    {"HasLens", &ViewerSettings::hasLens}};

}  // namespace

ViewerSettings readViewerSettings(RegistryStore& store, const std::string& serialText,
                                  const ViewerSettings& defaults) {
    TRegUtil reg(store, kViewerKeyBase + serialText);
    ViewerSettings s;
    s.dataPath = reg.ReadString("DataPath", defaults.dataPath);
    for (const IntegerValue& v : kIntegers) s.*v.field = reg.ReadInteger(v.name, defaults.*v.field);
    for (const BoolValue& v : kBools) s.*v.field = reg.ReadBool(v.name, defaults.*v.field);
    // A value of another version or a hand-edited file: what this one knows, else the default.
    if (s.widthMethod != 0 && s.widthMethod != 1) s.widthMethod = defaults.widthMethod;
    // Statistics of one frame would say nothing: the window offers two at the least.
    if (s.statisticsFrames < 2 || s.statisticsFrames > BeamStatistics::kMaxFrames)
        s.statisticsFrames = defaults.statisticsFrames;
    return s;
}

RegistryWriteError writeViewerSettings(RegistryStore& store, const std::string& serialText,
                                       const ViewerSettings& s) {
    std::vector<NamedRegistryValue> values{{"DataPath", RegistryValue::string(s.dataPath)}};
    for (const IntegerValue& v : kIntegers)
        values.push_back({v.name, RegistryValue::number(static_cast<std::uint32_t>(s.*v.field))});
    for (const BoolValue& v : kBools)
        values.push_back({v.name, RegistryValue::number(s.*v.field ? 1 : 0)});
    return store.setValues(RegistryHive::CurrentUser, kViewerKeyBase + serialText, values);
}

}  // namespace kestrom
