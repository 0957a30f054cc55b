#include "playback/listed.h"
