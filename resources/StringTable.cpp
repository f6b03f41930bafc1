// The program's string table.
#include "resources/StringTable.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

namespace res {
namespace {

struct Entry
{
    uint32_t id;
    const char* text;
};

// Sorted by id; FindString relies on it.
constexpr Entry kStrings[] = {
    // Document template: title, document name, new-file name, filter, extension, type id and name.
    {128, "Ratemark\n\nRtMark\nDat Files (*.dat)\n.dat\nRatemark.Document\nRateMk Document"},

    {10000, "Can't open drive"},
    {10001, "Internal error: can't start thread."},
    {10002, "Failure locating procedures from Rawio32v2.DLL"},
    {10003, "Internal error!"},
    {10004, "This program requires Windows 9x/ME/NT/2000/XP/Vista/7"},
    {10005, "Failure loading library Rawio32v2.DLL.\n"
            "Check that Rawio32v2.DLL and Rawio16v2.DLL exist."},
    {10006, "Application can't detect hard drives in your system.\nSorry!"},
    {10007, "Out of memory!"},
    {10008, "Reading error ( code=%Xh )\n"
            "Cylinder %u, head %u.\n"
            "'Yes'\t- show this message, if error will be occurred again,\n"
            "'No'\t- don't show this message, if error will be occurred.\n"
            "'Cancel'\t- abandon test."},
    {10009, "Writing to file error"},
    {10010, "Some disk HDD%u parameters are wrong!\nTest may be incorrect"},
    {10011, "Avr. speed"},
    {10012, "%u kBytes/s"},
    {10013, "Copyright (c) 2004-2026 Zelqo\n"
            "All rights reserved.\n"
            "support@zelqo.example\n"
            "https://zelqo.example/ratemark"}, // splash notice
    {10014, "Cur. cylinder"},
    {10015, "%d"},
    {10016, "Cur. speed"},
    {10017, "%u kBytes/s"},
    {10018, "Cylinders"},
    {10019, "%u"},
    {10020, "Cylinders tested"},
    {10021, "%u"},
    {10022, "HardDrive%d"},                           // document title
    {10023, "Hard drive %d"},                         // drive selector item
    {10024, "for Windows 9x/Me/NT4/2000/XP/Vista/7"}, // splash
    {10025, "Heads"},
    {10026, "%u"},
    {10027, "SELECTED from %d to %d"},
    {10028, "Max. speed"},
    {10029, "%u kBytes/s"},
    {10030, "Min. speed"},
    {10031, "%u kBytes/s"},
    {10032, "Min. speed cylinder"},
    {10033, "%d"},
    {10034, "Parameter"}, // data list column header
    {10035, "Sectors"},
    {10036, "%u"},
    {10037, "Test time"},
    {10038, "%0u:%02u"},
    {10039, "Value"},      // data list column header
    {10040, "Version %s"}, // splash
    {10041, "SELECTED"},
    {10042, "Information"}, // tab caption
    {10043, "Legend"},      // tab caption
    {10044, "Application is still running. Can't uninstall!"},
    {10045, "Are you sure you want to completely remove the selected application and all of its "
            "components?"},
    {10046, "Avr. access time"},
    {10047, "%d.%d ms"},
    {10048, "xxxxxxxxxxxxxxxxxxxxxxxxx"}, // status bar pane width template
    {10049, "xxxxxxxxxxxxxxxxxxxx"},      // status bar pane width template
    {10050, "Random access test"},
    {10051, "Read burst test"},
    {10052, "Linear read test"},
    {10053, "Read burst speed"},
    {10054, "%d.%d mbps"},
    {10055, "Reading error. Read burst speed test is terminated."},
    {10056, "Reading error ( code=%Xh )\n"
            "Cylinder %u, head %u.\n"
            "The drive does not answer any more. The test is abandoned."},

    // Commands: status-bar prompt, line feed, tooltip.
    {32771, "Start diagnostic\nStart diagnostic"},
    {32772, "Stop diagnostic\nStop diagnostic"},
    {32774, "Set highest priority of reading\nSet highest priority of reading"},
    {32778, "Fast test, for crude estimate only\nFast test"},
    {32779, "Full test, test whole surface, recomended\nFull test"},
    {32780, "Read burst speed test (for full test and NT only)\nRead burst speed test"},
    {32781, "Random access test (for full test only)\nRandom access test"},

    {57344, "Ratemark"}, // application title
    {57345, "Ratemark"}, // status bar idle text
    {57604, "Save the active document with a new name\nSave As"},
    {57665, "Quit the application; prompts to save documents\nExit"},
};

constexpr bool IsSorted()
{
    for (std::size_t i = 1; i < std::size(kStrings); ++i)
    {
        if (kStrings[i - 1].id >= kStrings[i].id)
            return false;
    }
    return true;
}
static_assert(IsSorted(), "string table must be sorted by id without duplicates");

} // namespace

const char* FindString(uint32_t id)
{
    const Entry* end = std::end(kStrings);
    const Entry* it = std::lower_bound(std::begin(kStrings), end, id,
                                       [](const Entry& e, uint32_t key) { return e.id < key; });
    return (it != end && it->id == id) ? it->text : nullptr;
}

} // namespace res
