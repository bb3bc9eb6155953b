// Makes the kit's sample data, so that the demo needs nothing from outside:
//   loading.scr  a 6912-byte screen: diagonal stripes in the bitmap and colour bars
//   header.bin   the 18 bytes of a tape header (flag 00) for a CODE block; blockbind adds
//                the check byte
//   code.bin     its data block (flag FF) holding the screen's first 512 bytes
//   game.scl     a one-file SCL disk image without its sum trailer
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

bool save(const std::string& folder, const char* name, const Bytes& bytes) {
    std::string path = folder + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

Bytes loading_screen() {
    Bytes screen(6912);
    for (int y = 0; y < 192; ++y) {
        for (int column = 0; column < 32; ++column) {
            int offset = (y / 64) * 2048 + (y % 8) * 256 + ((y / 8) % 8) * 32 + column;
            // One diagonal stripe per character cell, leaning one pixel per line.
            screen[offset] = static_cast<std::uint8_t>(0x80u >> ((y + column) % 8));
        }
    }
    for (int cell = 0; cell < 768; ++cell) {
        int ink = (cell % 32) / 4;                 // eight colour bars across
        int paper = (cell / 32) % 2 == 0 ? 0 : 1;  // black and blue rows
        screen[6144 + cell] = static_cast<std::uint8_t>(0x40 | paper << 3 | ink);  // bright
    }
    return screen;
}

Bytes code_header(int length, int start) {
    Bytes header = {0x00, 0x03};  // flag: header; type: CODE
    for (char c : std::string("screen    ")) {
        header.push_back(static_cast<std::uint8_t>(c));
    }
    for (int word : {length, start, 32768}) {
        header.push_back(static_cast<std::uint8_t>(word & 0xFF));
        header.push_back(static_cast<std::uint8_t>(word >> 8));
    }
    return header;
}

Bytes scl_image(const Bytes& content) {
    Bytes image;
    for (char c : std::string("SINCLAIR")) {
        image.push_back(static_cast<std::uint8_t>(c));
    }
    image.push_back(1);                        // one file
    for (char c : std::string("loading C")) {  // name (8) and type
        image.push_back(static_cast<std::uint8_t>(c));
    }
    int sectors = static_cast<int>((content.size() + 255) / 256);
    for (int word : {16384, static_cast<int>(content.size())}) {
        image.push_back(static_cast<std::uint8_t>(word & 0xFF));
        image.push_back(static_cast<std::uint8_t>(word >> 8));
    }
    image.push_back(static_cast<std::uint8_t>(sectors));
    image.insert(image.end(), content.begin(), content.end());
    image.resize(image.size() + static_cast<std::size_t>(sectors) * 256 - content.size(), 0);
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder = argc > 1 ? argv[1] : ".";
    Bytes screen = loading_screen();
    Bytes code = {0xFF};
    code.insert(code.end(), screen.begin(), screen.begin() + 512);
    bool ok = save(folder, "loading.scr", screen) &&
              save(folder, "header.bin", code_header(512, 16384)) &&
              save(folder, "code.bin", code) && save(folder, "game.scl", scl_image(screen));
    if (!ok) {
        std::fprintf(stderr, "make_samples: cannot write into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
