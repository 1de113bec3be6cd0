// An example thermal viewer to register as "K3TVIEW": it prints what the console hands it (the
// camera's last setup file, its serial number and the temperature file, in one argument separated
// by commas) and the temperatures in that file, then ends.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kestrom3-thermal-view-example <setup file>,<serial>,<temperature file>\n");
        return 2;
    }
    std::vector<std::string> parts;
    std::stringstream line(argv[1]);
    for (std::string part; std::getline(line, part, ',');) parts.push_back(part);
    // A setup file's name may hold commas: the last two parts are the serial number and the file.
    if (parts.size() < 3) {
        std::fprintf(stderr, "kestrom3-thermal-view-example: expected three parts, got '%s'\n", argv[1]);
        return 2;
    }
    const std::string file = parts.back();
    const std::string serial = parts[parts.size() - 2];
    std::string setup;
    for (std::size_t i = 0; i + 2 < parts.size(); ++i) setup += (i ? "," : "") + parts[i];
    std::printf("setup file: %s\nserial: %s\ntemperature file: %s\n", setup.empty() ? "(none)" : setup.c_str(),
                serial.c_str(), file.c_str());
    std::ifstream in(file);
    if (!in) {
        std::fprintf(stderr, "kestrom3-thermal-view-example: cannot read %s\n", file.c_str());
        return 1;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    std::printf("temperatures: %s\n", text.empty() ? "(none)" : text.c_str());
    return 0;
}
