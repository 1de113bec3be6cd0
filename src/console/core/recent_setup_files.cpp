// The recent-file list of a camera, kept under its camera key.
#include "console/core/recent_setup_files.h"

#include "console/core/registry_keys.h"

namespace kestrom {

namespace {

std::string entryName(int i) { return "MRL" + std::to_string(i); }

// The control key is where RegCtl1 rests between accesses.
class PointedAtCamera {
  public:
    PointedAtCamera(TRegCtl& regCtl, std::uint32_t serial) : regCtl_(regCtl) {
        regCtl_.RegistryName = cameraKey(serial);
    }
    ~PointedAtCamera() { regCtl_.RegistryName = kControlKey; }
    PointedAtCamera(const PointedAtCamera&) = delete;
    PointedAtCamera& operator=(const PointedAtCamera&) = delete;

  private:
    TRegCtl& regCtl_;
};

std::vector<std::string> readEntries(TRegCtl& regCtl) {
    std::vector<std::string> entries;
    for (int i = 1; i <= kRecentSetupFileCount; ++i) {
        regCtl.ItemName = entryName(i);
        entries.push_back(regCtl.GetItemValue());
    }
    return entries;
}

}  // namespace

void RecordSetupFile(TRegCtl& regCtl, std::uint32_t serial, const std::string& file) {
    PointedAtCamera pointed(regCtl, serial);
    std::vector<std::string> list{file};
    for (auto& entry : readEntries(regCtl))
        if (!entry.empty() && entry != file) list.push_back(std::move(entry));
    if (list.size() > kRecentSetupFileCount) list.resize(kRecentSetupFileCount);
    // One write: a console killed during it keeps either the old list or the new one whole.
    std::vector<NamedRegistryValue> items;
    for (std::size_t i = 0; i < list.size(); ++i)
        items.push_back({entryName(static_cast<int>(i) + 1), RegistryValue::string(list[i])});
    regCtl.SetItemValues(items);
}

std::vector<std::string> readRecentSetupFiles(TRegCtl& regCtl, std::uint32_t serial) {
    PointedAtCamera pointed(regCtl, serial);
    return readEntries(regCtl);
}

std::string lastSetupFile(TRegCtl& regCtl, std::uint32_t serial) {
    PointedAtCamera pointed(regCtl, serial);
    regCtl.ItemName = entryName(1);
    return regCtl.GetItemValue();
}

}  // namespace kestrom
