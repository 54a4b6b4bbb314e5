// The Windows deliverable as the host loads it: what it exports, which DLLs it needs, and the
// property list resource the host reads before loading it.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>

#include "PeImage.h"

namespace {

const std::string kWindowsDir = TESSARON_WINDOWS_DIR;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// DLLs every Windows installation has; the MinGW runtimes (libstdc++-6, libgcc_s_seh-1,
// libwinpthread-1) are not among them and must be linked in.
bool isSystemDll(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(), ::tolower);
    static const std::set<std::string> system = {
        "kernel32.dll", "msvcrt.dll", "user32.dll", "advapi32.dll", "ntdll.dll",  "ucrtbase.dll",
        "shell32.dll",  "ole32.dll",  "ws2_32.dll", "gdi32.dll",    "bcrypt.dll", "shlwapi.dll"};
    return system.count(name) || name.rfind("api-ms-win-", 0) == 0;
}

TEST(WindowsAex, IsAnX64DllExportingTheEntryPointAlone) {
    const pe::Image aex = pe::Image::fromFile(kWindowsDir + "/Tessaron_Pro.aex");
    EXPECT_EQ(aex.machine(), 0x8664);
    EXPECT_EQ(aex.exports(), std::vector<std::string>{"EntryPointFunc"});
}

TEST(WindowsAex, PluginAndHostImportSystemDllsOnly) {
    for (const char* file : {"/Tessaron_Pro.aex", "/tessaron.exe"}) {
        SCOPED_TRACE(file);
        const std::vector<std::string> dlls =
            pe::Image::fromFile(kWindowsDir + file).importedDlls();
        EXPECT_FALSE(dlls.empty());
        for (const std::string& dll : dlls) EXPECT_TRUE(isSystemDll(dll)) << dll;
    }
}

// The resource compiler's copy of the property list is the generator's, byte for byte.
TEST(WindowsAex, PropertyListResourceIsTheGeneratedOne) {
    const pe::Image aex = pe::Image::fromFile(kWindowsDir + "/Tessaron_Pro.aex");
    const auto pipl = aex.resource("PIPL", 16000, 1033);
    ASSERT_TRUE(pipl.has_value());
    const std::string generated =
        readFile(std::string(TESSARON_BINARY_DIR) + "/generated/Tessaron_Pro.pipl");
    ASSERT_FALSE(generated.empty());
    EXPECT_EQ(*pipl, generated);
    EXPECT_FALSE(aex.resource("PIPL", 16000, 1031).has_value());
}

TEST(WindowsAex, ReaderRefusesWhatIsNoExecutable) {
    EXPECT_THROW(pe::Image(std::string(100, 'x')), std::runtime_error);
    EXPECT_THROW(pe::Image::fromFile(kWindowsDir + "/no-such.aex"), std::runtime_error);
}

}  // namespace
