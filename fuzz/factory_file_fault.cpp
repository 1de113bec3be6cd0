// Rules of the factory dialog's readers: a ".FAC" file lays its bytes over the record's start and
// leaves the rest; the form shown for any record builds back the same bytes; a thermal file gives
// at most its length over four values, the rest 0, and the saved text has one line per value used
// and reads back as the same values.
#include "fuzz/factory_file_fault.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "maintenance/core/factory_form.h"
#include "maintenance/core/thermal_table.h"

namespace kestrom::fuzz {
namespace {

std::string factoryFault(std::string_view bytes) {
    FactoryInfo record;
    record.bytes.fill(0x5A);
    applyFactoryFile(bytes, record);
    const std::size_t n = std::min(bytes.size(), FactoryInfo::kSize);
    for (std::size_t i = 0; i < FactoryInfo::kSize; ++i)
        if (record.bytes[i] != (i < n ? static_cast<std::uint8_t>(bytes[i]) : 0x5A))
            return "record byte " + std::to_string(i) + " is not the file's";
    FactoryForm form = showFactoryRecord(record);
    FactoryInfo built = record;
    if (buildFactoryRecord(form, built)) return "a shown record does not build";
    if (built.bytes != record.bytes) return "an untouched build changes the record";
    return "";
}

std::string thermalFault(std::string_view text) {
    const ThermalTable table = parseThermalFile(text);
    const std::size_t count = std::min(text.size() / 4, kThermalEntries);
    for (std::size_t i = count; i < kThermalEntries; ++i)
        if (table.entries[i] != 0.0f) return "a value beyond the file's length over four";
    const std::string saved = formatThermalFile(table);
    const std::size_t lines = static_cast<std::size_t>(std::count(saved.begin(), saved.end(), '\n'));
    if (lines != table.used()) return "the saved text has not one line per value used";
    // The used values, bit for bit (a value that is no number too); what follows a 0 is not saved.
    ThermalTable used = table;
    std::fill(used.entries.begin() + static_cast<std::ptrdiff_t>(table.used()), used.entries.end(), 0.0f);
    const ThermalTable back = parseThermalFile(saved);
    std::array<std::uint8_t, kThermalTableBytes> bytes{}, backBytes{};
    used.toBytes(bytes.data());
    back.toBytes(backBytes.data());
    if (bytes != backBytes) return "the saved text reads back other values";
    return "";
}

}  // namespace

std::string factoryFileFault(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (std::string fault = factoryFault(bytes); !fault.empty()) return fault;
    return thermalFault(bytes);
}

}  // namespace kestrom::fuzz
