// A platform file that reaches up into the engine: the layering check must refuse it.
#include "engine/RatemarkDoc.h"
