// The fuzz target: bytes that start like a PNG or a JPEG go to the image reader, anything else to
// the scene loader. A refused input is fine; a crash, a sanitizer report or any other exception is
// a finding.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "sim/model/ImageFile.h"
#include "sim/scene/Scene.h"
#include "sim/scene/SceneReader.h"

namespace {

namespace fs = std::filesystem;

fs::path scratch;     // a folder of our own for the image bytes
std::string baseDir;  // where a scene's images resolve: the examples' images, as they refer to them

// Large images are legitimate but too slow to decode on every input.
constexpr double kMaxPixels = 4e6;

void readImage(const uint8_t* data, size_t size) {
    const std::string file = (scratch / "input.img").string();
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), std::streamsize(size));
    sim::ImageHeader header;
    if (!sim::readImageHeader(file, header) || double(header.width) * header.height > kMaxPixels)
        return;
    try {
        sim::loadImage(file);
    } catch (const std::runtime_error&) {
    }
}

void readScene(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        sim::parseScene(sim::scene::parseJson(text, "fuzz.json"), "fuzz.json", baseDir);
    } catch (const sim::SceneError&) {
    }
}

// The bundled scenes name "x.png" beside them and "../cards/y.png". Beside them too, names that
// are no image: a link loop, a pipe and a folder, which the loader must refuse like any bad file.
void linkExampleImages() {
    const fs::path examples = fs::path(TESSARON_SOURCE_DIR) / "examples";
    const fs::path scenes = scratch / "scenes";
    fs::create_directories(scenes);
    fs::create_directory_symlink(examples / "cards", scratch / "cards");
    for (const char* name : {"heart", "ring", "word"})
        fs::create_symlink(examples / name / (std::string(name) + ".png"),
                           scenes / (std::string(name) + ".png"));
    fs::create_symlink("loop.png", scenes / "loop.png");
    ::mkfifo((scenes / "pipe.png").c_str(), 0644);
    fs::create_directories(scenes / "folder.png");
    baseDir = scenes.string();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    scratch = fs::temp_directory_path() / ("tessaron-fuzz-" + std::to_string(::getpid()));
    fs::remove_all(scratch);
    fs::create_directories(scratch);
    linkExampleImages();
    std::atexit([] { fs::remove_all(scratch); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const uint8_t png[4] = {0x89, 'P', 'N', 'G'}, jpeg[2] = {0xff, 0xd8};
    if ((size >= 4 && std::memcmp(data, png, 4) == 0) ||
        (size >= 2 && std::memcmp(data, jpeg, 2) == 0))
        readImage(data, size);
    else
        readScene(data, size);
    return 0;
}
