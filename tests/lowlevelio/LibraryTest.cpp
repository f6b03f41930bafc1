// The low-level I/O library as the platform loader sees it: found by name, refused without its
// partner, and forwarding each export to the partner's function of its thunk number.
#include "LowLevelSupport.h"

#include "diskaccess/W9xHardDrive.h"
#include "fixtures/TempDir.h"
#include "lowlevelio/Thunk.h"
#include "platform/Library.h"
#include "resources/StringTable.h"

#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace lowlevel_fx;
using testing_fx::CTempDir;

namespace {

const fs::path kRealLibrary = fs::path(RAWIO_LIBRARY_DIR) / "libRawio32v2.so";

// Copies files into dir, as an installation holding only these would have them.
void Install(const fs::path& dir, std::initializer_list<fs::path> files)
{
    for (const fs::path& f : files)
        fs::copy_file(f, dir / f.filename(), fs::copy_options::overwrite_existing);
}

bool IsLoaded(const fs::path& file)
{
    void* module = dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (module)
        dlclose(module);
    return module != nullptr;
}

} // namespace

TEST(LibraryFileName, WindowsNamesBecomeSharedObjectNames)
{
    const struct
    {
        const char* Name;
        const char* File;
    } cases[] = {
        {"Rawio32v2.dll", "libRawio32v2.so"},
        {"Rawio32v2.DLL", "libRawio32v2.so"},
        {"/opt/x/Rawio32v2.dll", "/opt/x/libRawio32v2.so"},
        {"libRawio32v2.so", "libRawio32v2.so"},
        {".dll", ".dll"},
        {"lib.dll/Rawio32v2", "lib.dll/Rawio32v2"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::LibraryFileName(c.Name), c.File) << c.Name;
}

TEST(Rawio32v2, DoesNotLoadWithoutItsPartnerAndTheBackEndShows10005)
{
    CTempDir dir;
    Install(dir.Path(), {kRealLibrary});
    CScopedEnvironment env;
    CRecordingMessageBox boxes;

    try
    {
        CW9xHardDrive drive(dir.File("Rawio32v2.dll"));
        FAIL() << "the library loaded without its partner";
    }
    catch (const CW9xLoadError& e)
    {
        EXPECT_NE(std::string(e.what()).find("libRawio16v2.so"), std::string::npos) << e.what();
    }
    ASSERT_EQ(boxes.m_shown.size(), 1u);
    EXPECT_EQ(boxes.m_shown[0].Text, res::LoadString(10005));
    EXPECT_EQ(boxes.m_shown[0].Type, fw::kMbOk | fw::kMbIconHand);

    // Found by its bare name, the first copy counts even though a whole one lies elsewhere.
    env.Set(platform::kLibraryDirVariable, dir.Path().string());
    EXPECT_THROW(CW9xHardDrive{}, CW9xLoadError);
    // Nowhere to be found.
    env.Unset(platform::kLibraryDirVariable);
    EXPECT_THROW(CW9xHardDrive{}, CW9xLoadError);
    EXPECT_EQ(boxes.m_shown.size(), 3u);

    env.Set(platform::kLibraryDirVariable, RAWIO_LIBRARY_DIR);
    {
        CW9xHardDrive drive;
        EXPECT_TRUE(IsLoaded(kRealLibrary));
    }
    EXPECT_EQ(boxes.m_shown.size(), 3u);
    EXPECT_FALSE(IsLoaded(kRealLibrary)) << "the back-end keeps the library after its end";
}

TEST(Rawio32v2, AMissingFunctionShows10002AndReleasesTheLibrary)
{
    CScopedEnvironment env;
    for (const char* function : {"ExtendedInt13Read32", "GetDriveFn08Parameters32",
                                 "GetDriveFn48Parameters32", "ReadPhysicalSector32"})
    {
        SCOPED_TRACE(function);
        const fs::path dir = fs::path(PARTIAL_LIBRARIES_DIR) / (std::string("without-") + function);
        CRecordingMessageBox boxes;
        try
        {
            CW9xHardDrive drive((dir / "Rawio32v2.dll").string());
            ADD_FAILURE() << "made a back-end without " << function;
        }
        catch (const CW9xLoadError& e)
        {
            EXPECT_NE(std::string(e.what()).find(function), std::string::npos) << e.what();
        }
        ASSERT_EQ(boxes.m_shown.size(), 1u);
        EXPECT_EQ(boxes.m_shown[0].Text, res::LoadString(10002));
        EXPECT_EQ(boxes.m_shown[0].Type, fw::kMbOk | fw::kMbIconHand);
        EXPECT_FALSE(IsLoaded(dir / "libRawio32v2.so"));
    }
}

namespace {

// The real library beside a stand-in partner, loaded for one test.
class CLibraryWithPartner
{
public:
    explicit CLibraryWithPartner(const char* partnerDir)
    {
        Install(m_dir.Path(), {kRealLibrary, fs::path(partnerDir) / "libRawio16v2.so"});
        m_library = platform::LoadLibraryA(m_dir.File("Rawio32v2.dll"));
        if (!m_library)
            throw std::runtime_error(platform::LastLibraryError());
        // The partner beside the library is the one it connected to.
        m_partner = dlopen(m_dir.File("libRawio16v2.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (!m_partner)
            throw std::runtime_error("the partner beside the library is not the one loaded");
    }
    ~CLibraryWithPartner()
    {
        dlclose(m_partner);
        platform::FreeLibrary(m_library);
    }

    template <typename T>
    T Export(const char* name) const
    {
        return reinterpret_cast<T>(platform::GetProcAddress(m_library, name));
    }
    template <typename T>
    T* PartnerData(const char* name) const
    {
        return static_cast<T*>(dlsym(m_partner, name));
    }
    fs::path PartnerFile() const { return m_dir.Path() / "libRawio16v2.so"; }

private:
    CTempDir m_dir;
    platform::ModuleHandle m_library = nullptr;
    void* m_partner = nullptr;
};

struct SForwardCase
{
    rawio::EThunk Thunk;
    std::function<uint32_t(const CLibraryWithPartner&, void* pointer)> Call;
    std::vector<uint32_t> Values;
};

std::vector<SForwardCase> ForwardCases()
{
    return {
        {rawio::kThunkExtendedRead,
         [](const CLibraryWithPartner& l, void* p) {
             return l.Export<PExtendedInt13Read32>("ExtendedInt13Read32")(0x81, 0x11223344, 7, 127,
                                                                          p);
         },
         {0x81, 0x11223344, 7, 127}},
        {rawio::kThunkFn08Parameters,
         [](const CLibraryWithPartner& l, void* p) {
             return l.Export<PGetDriveFn08Parameters32>("GetDriveFn08Parameters32")(
                 0x82, static_cast<SInt13Regs*>(p));
         },
         {0x82}},
        {rawio::kThunkFn48Parameters,
         [](const CLibraryWithPartner& l, void* p) {
             return l.Export<PGetDriveFn48Parameters32>("GetDriveFn48Parameters32")(
                 0x83, static_cast<SDrvInf*>(p));
         },
         {0x83}},
        {rawio::kThunkPhysicalSectorRead,
         [](const CLibraryWithPartner& l, void* p) {
             return l.Export<PReadPhysicalSector32>("ReadPhysicalSector32")(0x84, 5, 6, 7, 8, p);
         },
         {0x84, 5, 6, 7, 8}},
    };
}

} // namespace

TEST(Rawio32v2, ForwardsEachExportToItsThunkAndCombinesDxAx)
{
    fs::path partnerFile;
    {
        CLibraryWithPartner library(FAKE_PARTNER_DIR);
        partnerFile = library.PartnerFile();
        auto* frames = library.PartnerData<rawio::SThunkFrame>("FakePartnerFrames");
        auto* calls = library.PartnerData<unsigned>("FakePartnerCalls");
        ASSERT_TRUE(frames && calls);

        alignas(8) uint8_t record[64] = {};
        for (const SForwardCase& c : ForwardCases())
        {
            SCOPED_TRACE(c.Thunk);
            EXPECT_EQ(c.Call(library, record), 65538u); // DX = 1, AX = 2
            EXPECT_EQ(calls[c.Thunk], 1u);
            const rawio::SThunkFrame& frame = frames[c.Thunk];
            EXPECT_EQ(std::vector<uint32_t>(frame.Values, frame.Values + frame.ValueCount),
                      c.Values);
            // The partner works on the caller's own memory.
            EXPECT_EQ(frame.Pointer, record);
        }

        // The exported connection record, completed with the partner's.
        const auto* data32 = library.Export<const SThunkData32*>("ThunkObj_ThunkData32");
        ASSERT_NE(data32, nullptr);
        EXPECT_EQ(std::memcmp(data32->Signature, "LS01", 4), 0);
        EXPECT_EQ(data32->Checksum, 0x3D64u);
        EXPECT_EQ(data32->Partner, library.PartnerData<const SThunkData16>("ThunkObj_ThunkData16"));
    }
    EXPECT_FALSE(IsLoaded(partnerFile)) << "the partner stays loaded after the library is freed";
}

TEST(Rawio32v2, NeverCallsAPartnerOfAnotherThunkScript)
{
    CLibraryWithPartner library(MISMATCHED_PARTNER_DIR);
    auto* calls = library.PartnerData<unsigned>("FakePartnerCalls");
    ASSERT_NE(calls, nullptr);
    alignas(8) uint8_t record[64] = {};
    for (const SForwardCase& c : ForwardCases())
    {
        EXPECT_EQ(c.Call(library, record), rawio::kNotConnected) << c.Thunk;
        EXPECT_EQ(calls[c.Thunk], 0u) << c.Thunk;
    }
    EXPECT_EQ(library.Export<const SThunkData32*>("ThunkObj_ThunkData32")->Partner, nullptr);
}
