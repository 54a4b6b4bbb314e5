#pragma once
// Reading a Windows x64 executable or DLL file (PE32+): its exported names, the DLLs it imports
// and its resources. Throws std::runtime_error naming what is malformed.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pe {

class Image {
  public:
    explicit Image(std::string bytes);
    static Image fromFile(const std::string& path);

    uint16_t machine() const { return machine_; }
    std::vector<std::string> exports() const;
    std::vector<std::string> importedDlls() const;
    // The bytes of resource type/id/language; a named type ("PIPL") is matched as the resource
    // compiler stores it. Nothing when absent.
    std::optional<std::string> resource(const std::string& type, uint32_t id,
                                        uint32_t language) const;

  private:
    struct Section {
        uint32_t address, size, fileOffset, fileSize;
    };
    uint32_t u16(size_t at) const;
    uint32_t u32(size_t at) const;
    size_t offsetOf(uint32_t rva) const;  // throws when no section holds it
    std::string cString(uint32_t rva) const;
    uint32_t directory(int index) const;  // RVA, 0 when absent
    std::optional<uint32_t> resourceEntry(uint32_t dir, const std::string* name, uint32_t id) const;

    std::string bytes_;
    uint16_t machine_ = 0;
    size_t directories_ = 0;
    uint32_t directoryCount_ = 0;
    std::vector<Section> sections_;
};

}  // namespace pe
