// Labels of the thirteen information rows.
#include "views/DataList.h"

#include "resources/StringTable.h"

#include <cstdint>

namespace {

constexpr uint32_t kRowLabels[13] = {10018, 10025, 10035, 10046, 10053, 10028, 10030,
                                     10032, 10011, 10016, 10014, 10020, 10037};

} // namespace

std::string GetStatLabel(int r)
{
    if (static_cast<unsigned>(r) >= 13)
        return {};
    return res::LoadString(kRowLabels[r]);
}
