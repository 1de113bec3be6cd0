// The user-defined palette: its text lines, its block, its file forms and its user count.
#include "viewer/core/palette_map.h"

#include "viewer/core/palette_file.h"
#include "viewer/core/palette_items.h"

namespace kestrom {
namespace {

constexpr const char* kCannotOpenOutputFile = "Cannot open output file.\n";

}  // namespace

void TPaletteMap::setItems(std::vector<std::string> lines) {
    Items_ = std::move(lines);
    itemsChecked_ = false;
}

PaletteHandle TPaletteMap::GetAPalette() {
    if (!handle_) {
        FixUpPalette();
        handle_ = std::make_shared<const Palette>(block_.entries);
    }
    ++users_;
    return handle_;
}

void TPaletteMap::FreePalette() {
    handle_.reset();
    users_ = 0;
}

void TPaletteMap::ReturnPalette(const PaletteHandle& handle) {
    if (handle && handle == handle_) --users_;
    if (users_ <= 0 && handle_) FreePalette();
}

void TPaletteMap::FixUpPalette() {
    std::vector<std::size_t> junk = applyItems(Items_, block_);
    block_.version = kPaletteVersion;
    block_.entryCount = kPaletteSize;
    if (!junk.empty() && !itemsChecked_)
        dialogs_.messageBox("Error", junkItemsMessage(Items_, junk), BoxButtons::Ok, BoxIcon::Warning);
    itemsChecked_ = true;
}

const LogPalette& TPaletteMap::GetLogPalette() {
    if (!handle_) GetAPalette();
    return block_;
}

ColorRef TPaletteMap::MakeColor(int index) const {
    if (index < 0 || index >= kPaletteSize) return 0;
    return colorOf(block_.entries[static_cast<std::size_t>(index)]);
}

ColorRef TPaletteMap::namedColour(int index) {
    if (!handle_) GetAPalette();
    return MakeColor(index);
}

const LogPalette* TPaletteMap::LoadPalette(const std::string& file) {
    PaletteFileRead read = readPaletteFile(file);
    if (!read.palette) {
        dialogs_.messageBox(file, read.error, BoxButtons::Ok, BoxIcon::Error);
        return nullptr;
    }
    takeBlock(*read.palette);
    return &block_;
}

bool TPaletteMap::SavePalette(const std::string& file) {
    if (!writePaletteFile(file, block_)) return true;
    return reportSaveFailure(file);
}

bool TPaletteMap::SaveToFile(const std::string& file) {
    if (!replaceFileAtomically(file, itemsText(Items_))) return true;
    return reportSaveFailure(file);
}

void TPaletteMap::SetPalette(const LogPalette& block) { takeBlock(block); }

void TPaletteMap::takeBlock(const LogPalette& block) {
    block_ = block;
    setItems(itemsFromPalette(block_));
}

bool TPaletteMap::reportSaveFailure(const std::string& file) {
    dialogs_.messageBox(file, kCannotOpenOutputFile, BoxButtons::Ok, BoxIcon::Error);
    return false;
}

}  // namespace kestrom
