// TRegCtl: one text item under a key path of HKEY_CURRENT_USER, read and written at once.
#pragma once

#include <string>
#include <vector>

#include "common/reg_util.h"
#include "platform/registry_store.h"

namespace kestrom {

// Both operations create the key path when it is missing, so reading a camera's recent-file
// list leaves its (empty) camera key behind. Every failure throws RegistryError.
class TRegCtl {
  public:
    explicit TRegCtl(RegistryStore& store) : store_(store) {}

    std::string RegistryName;  // key path below HKEY_CURRENT_USER
    std::string Project;       // subkey holding the item; empty: the key itself
    std::string ItemName;      // the value's name
    std::string ItemValue;     // the text last read or written

    std::string GetItemValue();
    void SetItemValue(const std::string& text);
    // Several text items of the key in one write; ItemName and ItemValue are left alone.
    void SetItemValues(const std::vector<NamedRegistryValue>& items);

  private:
    std::string itemKey() const;
    RegistryStore& store_;
};

}  // namespace kestrom
