// TRegCtl over the registry store.
#include "console/core/reg_ctl.h"

namespace kestrom {

std::string TRegCtl::itemKey() const {
    return Project.empty() ? RegistryName : RegistryName + "\\" + Project;
}

std::string TRegCtl::GetItemValue() {
    if (RegistryWriteError err = store_.createKey(RegistryHive::CurrentUser, RegistryName))
        throw RegistryError("Failed to create key " + RegistryName + ": " + *err);
    std::optional<RegistryValue> v = store_.value(RegistryHive::CurrentUser, itemKey(), ItemName);
    if (v && v->kind != RegistryValue::Kind::String)
        throw RegistryError("Invalid data type for '" + ItemName + "'");
    ItemValue = v ? v->text : std::string();
    return ItemValue;
}

void TRegCtl::SetItemValue(const std::string& text) {
    ItemValue = text;
    if (RegistryWriteError err = store_.setValue(RegistryHive::CurrentUser, itemKey(), ItemName,
                                                 RegistryValue::string(text)))
        throw RegistryError("Failed to set data for '" + ItemName + "': " + *err);
}

void TRegCtl::SetItemValues(const std::vector<NamedRegistryValue>& items) {
    if (RegistryWriteError err = store_.setValues(RegistryHive::CurrentUser, itemKey(), items))
        throw RegistryError("Failed to set data under " + itemKey() + ": " + *err);
}

}  // namespace kestrom
