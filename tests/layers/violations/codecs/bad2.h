#include "engine/ok.h"
#  include "playback/player.h"
