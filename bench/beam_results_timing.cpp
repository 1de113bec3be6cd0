// The C++ core's own time for one frame's beam results, the work the library's beam-results call
// does without its per-call setup: the frame's header and pixels into a kept frame, TResults with
// the chosen method over it, and the named texts of the results.
//
//   beam_results_timing FILE [--method knife-edge|second-moment] [--calls N]
//
// FILE holds the frame's 320-byte header and then its 124 x 124 little-endian int16 pixels (the
// Python bench writes it from a live frame). Prints "cpp_<method>_us: <median of N calls>".
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "camera_records/console_block.h"
#include "platform/dialog_service.h"
#include "viewer/core/result_values.h"
#include "viewer/core/results.h"
#include "viewer/core/vasprel_frame.h"

namespace {

using namespace kestrom;

constexpr int kSide = frame_block::kWidth;

// TResults says in a box what it lacks; here that ends the run.
class FailingDialogs : public DialogService {
public:
    BoxAnswer messageBox(const std::string& caption, const std::string& text, BoxButtons, BoxIcon) override {
        throw std::runtime_error(caption + ": " + text);
    }
    std::optional<std::string> openFile(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<std::string> saveFile(const FileDialogRequest&) override { return std::nullopt; }
    void showLater(const std::string& caption, const std::string& text, BoxIcon) override {
        throw std::runtime_error(caption + ": " + text);
    }
};

struct Input {
    VasprelHeader header{};
    std::vector<std::int16_t> pixels;
};

Input readInput(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("the frame file " + path + " cannot be opened");
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t pixelBytes = static_cast<std::size_t>(kSide) * kSide * sizeof(std::int16_t);
    if (bytes.size() != sizeof(VasprelHeader) + pixelBytes)
        throw std::runtime_error("the frame file " + path + " holds " + std::to_string(bytes.size()) +
                                 " bytes, not a header and a frame's pixels");
    Input input;
    std::memcpy(&input.header, bytes.data(), sizeof input.header);
    input.pixels.resize(static_cast<std::size_t>(kSide) * kSide);
    std::memcpy(input.pixels.data(), bytes.data() + sizeof input.header, pixelBytes);
    return input;
}

double medianCallMicros(const Input& input, WidthMethod method, int calls) {
    FailingDialogs dialogs;
    TResults results(dialogs);
    TResults::Frame frame(kSide, kSide);
    if (!results.buffersReady() || !frame.allocated()) throw std::runtime_error("Insufficient Memory");
    results.SetWidthMethod(method);
    std::vector<double> micros;
    micros.reserve(static_cast<std::size_t>(calls));
    std::size_t texts = 0;
    for (int i = 0; i < calls; ++i) {
        const auto start = std::chrono::steady_clock::now();
        std::memcpy(frame.GetHeader(), &input.header, sizeof input.header);
        frame.CopyPixels(input.pixels.data());
        results.SetFrame(&frame);
        auto values = resultValues(*frame.GetHeader());
        if (method == WidthMethod::SecondMoment) {
            auto iso = secondMomentValues(*frame.GetHeader());
            values.insert(values.end(), iso.begin(), iso.end());
        }
        texts += values.size();
        micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    if (texts == 0) throw std::runtime_error("the results gave no values");
    std::nth_element(micros.begin(), micros.begin() + calls / 2, micros.end());
    return micros[static_cast<std::size_t>(calls / 2)];
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc < 2) throw std::runtime_error("usage: beam_results_timing FILE [--method M] [--calls N]");
        std::string method = "second-moment";
        int calls = 2000;
        for (int i = 2; i + 1 < argc; i += 2) {
            if (std::strcmp(argv[i], "--method") == 0) method = argv[i + 1];
            else if (std::strcmp(argv[i], "--calls") == 0) calls = std::atoi(argv[i + 1]);
            else throw std::runtime_error(std::string("unknown option ") + argv[i]);
        }
        if (method != "second-moment" && method != "knife-edge")
            throw std::runtime_error("--method takes knife-edge or second-moment, not " + method);
        if (calls < 1) throw std::runtime_error("--calls is at least 1");
        const Input input = readInput(argv[1]);
        const WidthMethod m = method == "second-moment" ? WidthMethod::SecondMoment : WidthMethod::KnifeEdge;
        std::string name = method;
        std::replace(name.begin(), name.end(), '-', '_');
        std::printf("cpp_%ss_us: %.3f\n", name.c_str(), medianCallMicros(input, m, calls));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "beam_results_timing: %s\n", e.what());
        return 1;
    }
    return 0;
}
