#include "playback/inner.h"
