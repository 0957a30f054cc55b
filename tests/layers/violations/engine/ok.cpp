#include "engine/bad.h"
#include "velcora/velcora.h"
#include <vector>
