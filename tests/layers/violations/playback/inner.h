#include "view/waveview.h"
