// Window settings, camera aliases and outside program paths in the registry.
#include "console/core/console_settings.h"

#include "console/core/registry_keys.h"

namespace kestrom {

WindowSettings readWindowSettings(TRegUtil& regUtil1, const WindowBounds& current) {
    WindowSettings s;
    s.soundOn = regUtil1.ReadBool("SoundOnOff1", true);
    s.bounds.left = regUtil1.ReadInteger("Left", current.left);
    s.bounds.top = regUtil1.ReadInteger("Top", current.top);
    s.bounds.height = regUtil1.ReadInteger("Height", current.height);
    s.bounds.width = regUtil1.ReadInteger("Width", current.width);
    return s;
}

bool storeWindowSettings(TRegUtil& regUtil1, const WindowSettings& settings) {
    regUtil1.SetRootKey(hkHKEY_CURRENT_USER);
    try {
        regUtil1.WriteBool("SoundOnOff1", settings.soundOn);
        regUtil1.WriteInteger("Left", settings.bounds.left);
        regUtil1.WriteInteger("Top", settings.bounds.top);
        regUtil1.WriteInteger("Height", settings.bounds.height);
        regUtil1.WriteInteger("Width", settings.bounds.width);
    } catch (const RegistryError&) {
        return false;
    }
    return true;
}

namespace {

void pointAtAlias(TRegCtl& regCtl, std::uint32_t serial) {
    regCtl.RegistryName = kControlKey;
    regCtl.ItemName = std::to_string(serial);
}

bool blankOnly(const std::string& text) {
    for (unsigned char c : text)
        if (c > ' ') return false;
    return true;
}

}  // namespace

std::string readCameraAlias(TRegCtl& regCtl, std::uint32_t serial) {
    pointAtAlias(regCtl, serial);
    return regCtl.GetItemValue();
}

bool storeCameraAlias(TRegCtl& regCtl, std::uint32_t serial, const std::string& typed) {
    if (blankOnly(typed)) return false;
    pointAtAlias(regCtl, serial);
    regCtl.SetItemValue(typed);
    return true;
}

std::string cameraTabCaption(TRegCtl& regCtl, std::uint32_t serial) {
    std::string alias = readCameraAlias(regCtl, serial);
    return alias.empty() ? std::to_string(serial) : alias;
}

std::string readProgramPath(TRegUtil& util, const std::string& valueName) {
    util.SetRootKey(hkHKEY_LOCAL_MACHINE);
    std::string path = util.ReadString(valueName, "");
    util.SetRootKey(hkHKEY_CURRENT_USER);
    if (path.empty()) path = util.ReadString(valueName, "");
    return path;
}

std::string thermalViewerPath(TRegUtil& regUtil1) {
    std::string saved = regUtil1.BaseKey;
    regUtil1.BaseKey = kKestromKey;
    std::string path = readProgramPath(regUtil1, "K3TVIEW");
    regUtil1.BaseKey = saved;
    return path;
}

}  // namespace kestrom
