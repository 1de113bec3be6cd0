// TPaletteMap: one user-defined palette, kept as 256 text lines, loaded and saved, with its named
// colours.
#pragma once

#include <string>
#include <vector>

#include "platform/dialog_service.h"
#include "viewer/core/palette_layout.h"
#include "viewer/core/palette_types.h"

namespace kestrom {

// Changes to Items take effect when the palette is next built (FreePalette, then GetAPalette).
// The colour properties and GetLogPalette build the palette first when there is none; that build
// counts one user.
class TPaletteMap {
  public:
    explicit TPaletteMap(DialogService& dialogs) : dialogs_(dialogs) {}
    TPaletteMap(const TPaletteMap&) = delete;
    TPaletteMap& operator=(const TPaletteMap&) = delete;

    const std::vector<std::string>& Items() const { return Items_; }
    void setItems(std::vector<std::string> lines);

    int Entries() const { return kRampEntries; }
    // Each read counts one more user.
    PaletteHandle hPalette() { return GetAPalette(); }

    ColorRef Saturation() { return namedColour(kSaturationIndex); }
    ColorRef AboveScale() { return namedColour(kAboveScaleIndex); }
    ColorRef BelowScale() { return namedColour(kBelowScaleIndex); }
    ColorRef TextColor2D() { return namedColour(kTextColor2DIndex); }
    ColorRef Background2D() { return namedColour(kBackground2DIndex); }
    ColorRef Aperture2D() { return namedColour(kAperture2DIndex); }
    ColorRef Background3D() { return namedColour(kBackground3DIndex); }
    ColorRef TextColor3D() { return namedColour(kTextColor3DIndex); }
    ColorRef Fill3D() { return namedColour(kFill3DIndex); }
    ColorRef Special2D() { return namedColour(kSpecial2DIndex); }
    ColorRef GridColor() { return namedColour(kGridColorIndex); }
    ColorRef GridTextColor() { return namedColour(kGridTextColorIndex); }
    ColorRef XSymbolColor() { return namedColour(kXSymbolColorIndex); }
    ColorRef XCurveColor() { return namedColour(kXCurveColorIndex); }
    ColorRef YSymbolColor() { return namedColour(kYSymbolColorIndex); }
    ColorRef YCurveColor() { return namedColour(kYCurveColorIndex); }
    ColorRef XCurrentColor() { return namedColour(kXCurrentColorIndex); }
    ColorRef YCurrentColor() { return namedColour(kYCurrentColorIndex); }
    ColorRef XExcludeColor() { return namedColour(kXExcludeColorIndex); }
    ColorRef YExcludeColor() { return namedColour(kYExcludeColorIndex); }
    // Ramp colour i: entry i + 10.
    ColorRef PaletteColor(int i) { return namedColour(i + kBelowScaleIndex); }

    // Builds the palette from Items when there is none; counts one more user in every case.
    PaletteHandle GetAPalette();
    // Deletes the palette whatever its count.
    void FreePalette();
    // One user less when handle is this palette; at no users left the palette is deleted.
    void ReturnPalette(const PaletteHandle& handle);
    // Writes the Items lines into the block; a line that is not four numbers is ignored and named
    // in one message for each new set of Items.
    void FixUpPalette();
    // The block, after making sure the palette exists.
    const LogPalette& GetLogPalette();
    // The colour of an entry of the block; black for an index outside 0..255.
    ColorRef MakeColor(int index) const;

    // Takes the block from a palette file and rebuilds Items from it; the palette in use is kept
    // until it is rebuilt. A file that cannot be read or is not a palette file changes nothing,
    // is named in a message and gives none.
    const LogPalette* LoadPalette(const std::string& file);
    // Write the block, or Items as text; a failure leaves the earlier file whole, says so in a
    // message and answers false.
    bool SavePalette(const std::string& file);
    bool SaveToFile(const std::string& file);
    // Takes the block and rebuilds Items from it.
    void SetPalette(const LogPalette& block);

    // How many users the palette has.
    int users() const { return users_; }

  private:
    ColorRef namedColour(int index);
    void takeBlock(const LogPalette& block);
    bool reportSaveFailure(const std::string& file);

    DialogService& dialogs_;
    std::vector<std::string> Items_;
    LogPalette block_;
    int users_ = 0;
    PaletteHandle handle_;
    bool itemsChecked_ = false;   // the junk lines of these Items have been reported
};

}  // namespace kestrom
