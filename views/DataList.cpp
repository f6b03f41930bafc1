// Labels of the thirteen information rows, from the rows' one table.
#include "views/DataList.h"

#include "engine/StatRows.h"

std::string GetStatLabel(int r)
{
    return StatRowLabel(r);
}
