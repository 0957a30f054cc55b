#include "engine/ok.h"
#  include "playback/playunit.h"
