// The C library's saved frames and beam results: the viewer's own record reader and TResults,
// named as kestrom3-frame results names them.
#include <charconv>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "subscriber/c/kestrom3subscriber.h"
#include "viewer/core/frame_record.h"
#include "viewer/core/log_csv_read.h"
#include "viewer/core/log_names.h"
#include "viewer/core/results.h"
#include "viewer/core/vasprel_frame.h"
#include "viewer/core/result_values.h"

namespace {

using kestrom::VasprelHeader;

// The C struct is the file's header, field for field.
static_assert(sizeof(k3s_frame_header) == sizeof(VasprelHeader));
#define SAME_FIELD(c, cpp) static_assert(offsetof(k3s_frame_header, c) == offsetof(VasprelHeader, cpp))
SAME_FIELD(DateTime, DateTime);
SAME_FIELD(PixelHScale, PixelHScale);
SAME_FIELD(FrameTotal, FrameTotal);
SAME_FIELD(PeakLocx, PeakLocx);
SAME_FIELD(EffectiveArea, EffectiveArea);
SAME_FIELD(FilterA, FilterA);
SAME_FIELD(WheelB, WheelB);
SAME_FIELD(BloomBottom, BloomBottom);
SAME_FIELD(FlagEffectiveArea, FlagEffectiveArea);
SAME_FIELD(CenterXLoc, CenterXLoc);
SAME_FIELD(Unused284, unused284);
SAME_FIELD(Deviation, Deviation);
SAME_FIELD(Exclude, Exclude);
SAME_FIELD(Reserved305, reserved305);
#undef SAME_FIELD
static_assert(offsetof(k3s_frame_record, trailer) ==
              kestrom::frame_block::kSize - K3S_TRAILER_SIZE + sizeof(VasprelHeader));
static_assert(sizeof(k3s_frame_record) == sizeof(VasprelHeader) + kestrom::frame_block::kSize);

// TResults says what it lacks in a box; here the caller gets the code instead.
class SilentDialogs : public kestrom::DialogService {
  public:
    kestrom::BoxAnswer messageBox(const std::string&, const std::string&, kestrom::BoxButtons buttons,
                                  kestrom::BoxIcon) override {
        failed = true;
        return kestrom::quietAnswer(buttons);
    }
    std::optional<std::string> openFile(const kestrom::FileDialogRequest&) override { return std::nullopt; }
    std::optional<std::string> saveFile(const kestrom::FileDialogRequest&) override { return std::nullopt; }
    void showLater(const std::string&, const std::string&, kestrom::BoxIcon) override { failed = true; }

    bool failed = false;
};

// What a beam-results call works in, kept for the calling thread's next call: TResults's
// histogram alone is over a megabyte, and making and zeroing it again took a third of a call.
// Compute starts each frame afresh, as the viewer's TResults does for every frame it shows.
struct ResultsWorkspace {
    SilentDialogs dialogs;
    kestrom::TResults compute{dialogs};
    kestrom::TResults::Frame frame{K3S_FRAME_ROWS, K3S_FRAME_COLUMNS};
};

// Nullptr when the memory cannot be had; a later call tries again.
ResultsWorkspace* resultsWorkspace() {
    thread_local std::unique_ptr<ResultsWorkspace> kept;
    if (!kept) {
        auto made = std::make_unique<ResultsWorkspace>();
        if (!made->compute.buffersReady() || !made->frame.allocated()) return nullptr;
        kept = std::move(made);
    }
    kept->dialogs.failed = false;
    return kept.get();
}

void copyCut(const std::string& text, char* buffer, std::size_t capacity) {
    if (!buffer || capacity == 0) return;
    const std::size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

// A reader's outcome for C: what it read goes out through take, what is wrong with the file to
// error; exceptions never cross.
template <typename Reader, typename Take>
int readFile(Reader reader, const char* path, char* error, std::size_t capacity, Take take) {
    try {
        const auto read = reader(path);
        if (read.error) {
            copyCut(*read.error, error, capacity);
            return K3S_ERR_FILE;
        }
        take(read);
        copyCut("", error, capacity);
        return K3S_OK;
    } catch (const std::bad_alloc&) {
        copyCut("Insufficient Memory", error, capacity);
        return K3S_ERR_MEMORY;
    } catch (...) {
        return K3S_ERR_INTERNAL;
    }
}

}  // namespace

extern "C" {

int k3s_read_frame_record(const char* path, k3s_frame_record* record, char* error, std::size_t capacity) {
    if (!path || !record) return K3S_ERR_ARGUMENT;
    return readFile(kestrom::readFrameRecord, path, error, capacity, [&](const kestrom::FrameRecordRead& read) {
        std::memcpy(&record->header, &read.header, sizeof read.header);
        std::memcpy(record->pixels, read.block.data(), read.block.size());
    });
}

int k3s_read_frame_csv(const char* path, int16_t* pixels, char* error, std::size_t capacity) {
    if (!path || !pixels) return K3S_ERR_ARGUMENT;
    return readFile(kestrom::readFrameCsv, path, error, capacity, [&](const kestrom::FrameCsvRead& read) {
        std::memcpy(pixels, read.pixels.data(), sizeof read.pixels);
    });
}

int k3s_frame_log_file(const char* log_name, int k, char* text, std::size_t capacity, std::size_t* length) {
    if (!log_name) return K3S_ERR_ARGUMENT;
    try {
        const auto parts = kestrom::splitLogFileName(kestrom::withDefaultLogExtension(log_name));
        const std::string name = kestrom::numberedLogFileName(parts.folder, parts.base, k, parts.extension);
        if (length) *length = name.size();
        if (!text || capacity < name.size() + 1) return K3S_ERR_BUFFER_TOO_SMALL;
        std::memcpy(text, name.c_str(), name.size() + 1);
        return K3S_OK;
    } catch (...) {
        return K3S_ERR_INTERNAL;
    }
}

int k3s_live_header(k3s_frame_header* header, double hscale_um, double vscale_um) {
    if (!header) return K3S_ERR_ARGUMENT;
    const kestrom::TResults::Frame fresh(K3S_FRAME_ROWS, K3S_FRAME_COLUMNS);
    if (!fresh.allocated()) return K3S_ERR_MEMORY;
    VasprelHeader live = *fresh.GetHeader();
    live.PixelBits = 14;
    live.Flags = kestrom::vasprel::kValidData;
    live.PixelHScale = hscale_um;
    live.PixelVScale = vscale_um;
    std::memcpy(header, &live, sizeof live);
    return K3S_OK;
}

int k3s_beam_results(const int16_t* pixels, const k3s_frame_header* header, int method, k3s_result* results,
                     std::size_t capacity, std::size_t* count, k3s_frame_header* computed) {
    if (!pixels || !header || (method != K3S_KNIFE_EDGE && method != K3S_SECOND_MOMENT))
        return K3S_ERR_ARGUMENT;
    try {
        ResultsWorkspace* workspace = resultsWorkspace();
        if (!workspace) return K3S_ERR_MEMORY;
        kestrom::TResults& compute = workspace->compute;
        kestrom::TResults::Frame* frame = &workspace->frame;
        compute.SetWidthMethod(method == K3S_SECOND_MOMENT ? kestrom::WidthMethod::SecondMoment
                                                           : kestrom::WidthMethod::KnifeEdge);
        // As a loaded record: its header in place, then its pixels, then the results over them.
        std::memcpy(frame->GetHeader(), header, sizeof *header);
        frame->CopyPixels(pixels);
        compute.SetFrame(frame);
        if (workspace->dialogs.failed) return K3S_ERR_MEMORY;

        const VasprelHeader& out = *frame->GetHeader();
        auto values = kestrom::resultValues(out);
        if (method == K3S_SECOND_MOMENT) {
            auto iso = kestrom::secondMomentValues(out);
            values.insert(values.end(), iso.begin(), iso.end());
        }
        if (count) *count = values.size();
        if (computed) std::memcpy(computed, &out, sizeof out);
        if (!results || capacity < values.size()) return K3S_ERR_BUFFER_TOO_SMALL;
        for (std::size_t i = 0; i < values.size(); ++i) {
            copyCut(values[i].first, results[i].name, sizeof results[i].name);
            copyCut(values[i].second, results[i].text, sizeof results[i].text);
            // Read in the C locale, whatever the host program's locale says of decimal points.
            const std::string& text = values[i].second;
            double value = 0;
            std::from_chars(text.data(), text.data() + text.size(), value);
            results[i].value = value;
        }
        return K3S_OK;
    } catch (const std::bad_alloc&) {
        return K3S_ERR_MEMORY;
    } catch (...) {
        return K3S_ERR_INTERNAL;
    }
}

}  // extern "C"
