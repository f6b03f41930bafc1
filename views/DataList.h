// The data list's texts that do not depend on a document.
#pragma once

#include <string>

// The label of information row r (0 to 12); "" for any other r.
std::string GetStatLabel(int r);
