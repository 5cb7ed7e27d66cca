// Points a PE image's load configuration directory at the section ".ldcfg",
// which holds the program's IMAGE_LOAD_CONFIG_DIRECTORY (its first 32-bit
// word is the structure's size; the directory's size is that size in a
// 64-bit image and 64 in a 32-bit one). The linker of this toolchain does not
// set that directory itself. A host program, run after the link:
//   SetLoadConfig <image.exe>
// Exits with 1 and a message when the image has no such section.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// The size of a 32-bit image's load configuration directory.
constexpr uint32_t kLoadConfig32Size = 64;

uint32_t Read32(const std::vector<unsigned char>& b, size_t at) {
    return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 | static_cast<uint32_t>(b.at(at + 3)) << 24;
}
uint16_t Read16(const std::vector<unsigned char>& b, size_t at) { return static_cast<uint16_t>(b.at(at) | b.at(at + 1) << 8); }
void Write32(std::vector<unsigned char>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.at(at + i) = static_cast<unsigned char>(v >> (8 * i));
}

int Fail(const std::string& path, const char* why) {
    std::fprintf(stderr, "SetLoadConfig: %s: %s\n", path.c_str(), why);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return Fail("?", "usage: SetLoadConfig <image.exe>");
    const std::string path = argv[1];
    std::vector<unsigned char> image;
    {
        std::ifstream in(path, std::ios::binary);
        if (!in) return Fail(path, "can't read");
        image.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    try {
        const size_t pe = Read32(image, 0x3C);
        if (Read32(image, pe) != 0x00004550) return Fail(path, "not a PE image");
        const size_t fileHeader = pe + 4;
        const unsigned sections = Read16(image, fileHeader + 2);
        const size_t optional = fileHeader + 20;
        const size_t optionalSize = Read16(image, fileHeader + 16);
        const uint16_t magic = Read16(image, optional);
        const size_t directories = optional + (magic == 0x20B ? 112 : 96);
        const size_t directoryCount = Read32(image, directories - 4);
        constexpr size_t kLoadConfig = 10;
        if (directoryCount <= kLoadConfig) return Fail(path, "no room for the load configuration directory");
        for (unsigned i = 0; i < sections; ++i) {
            const size_t header = optional + optionalSize + 40 * i;
            if (std::memcmp(&image.at(header), ".ldcfg\0\0", 8) != 0) continue;
            const uint32_t rva = Read32(image, header + 12);
            const uint32_t size = Read32(image, Read32(image, header + 20));
            if (size < 0x40 || size > Read32(image, header + 8)) return Fail(path, "implausible size in .ldcfg");
            Write32(image, directories + 8 * kLoadConfig, rva);
            // In a 32-bit image the directory's size is a version check, and
            // Windows XP's loader wants exactly 64 there; later loaders read
            // the structure's own size (its first word). The fields that the
            // program sets lie within those 64 bytes.
            Write32(image, directories + 8 * kLoadConfig + 4, magic == 0x20B ? size : kLoadConfig32Size);
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
            return out ? 0 : Fail(path, "can't write");
        }
        return Fail(path, "no section .ldcfg");
    } catch (const std::out_of_range&) {
        return Fail(path, "truncated image");
    }
}
