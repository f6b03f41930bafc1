#include "resources/StringTable.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case
{
    uint32_t id;
    const char* text;
};

// Texts whose exact characters (line feeds, tabs, quotes, printf fields) matter.
constexpr Case kExact[] = {
    {10005, "Failure loading library Rawio32v2.DLL.\n"
            "Check that Rawio32v2.DLL and Rawio16v2.DLL exist."},
    {10006, "Application can't detect hard drives in your system.\nSorry!"},
    {10008, "Reading error ( code=%Xh )\n"
            "Cylinder %u, head %u.\n"
            "'Yes'\t- show this message, if error will be occurred again,\n"
            "'No'\t- don't show this message, if error will be occurred.\n"
            "'Cancel'\t- abandon test."},
    {10010, "Some disk HDD%u parameters are wrong!\nTest may be incorrect"},
    {10056, "Reading error ( code=%Xh )\n"
            "Cylinder %u, head %u.\n"
            "The drive does not answer any more. The test is abandoned."},
    {10012, "%u kBytes/s"},
    {10038, "%0u:%02u"},
    {10048, "xxxxxxxxxxxxxxxxxxxxxxxxx"},
    {32779, "Full test, test whole surface, recomended\nFull test"},
};

TEST(StringTable, ExactTexts)
{
    for (const Case& c : kExact)
    {
        SCOPED_TRACE(c.id);
        const char* text = res::FindString(c.id);
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(std::string(text), c.text);
        EXPECT_EQ(res::LoadString(c.id), text);
    }
}

TEST(StringTable, EveryProgramTextIsPresent)
{
    for (uint32_t id = 10000; id <= 10056; ++id)
    {
        SCOPED_TRACE(id);
        const char* text = res::FindString(id);
        ASSERT_NE(text, nullptr);
        EXPECT_NE(text[0], '\0');
    }
    for (uint32_t id : {32771u, 32772u, 32774u, 32778u, 32779u, 32780u, 32781u})
    {
        SCOPED_TRACE(id);
        EXPECT_NE(res::FindString(id), nullptr);
    }
}

TEST(StringTable, UnknownIds)
{
    // 32773 is unused; 32775 to 32777 are commands without a prompt.
    for (uint32_t id : {0u, 9999u, 10057u, 32773u, 32775u, 32777u, 32782u, 0xFFFFFFFFu})
    {
        SCOPED_TRACE(id);
        EXPECT_EQ(res::FindString(id), nullptr);
        EXPECT_STREQ(res::LoadString(id), "");
    }
}

} // namespace
