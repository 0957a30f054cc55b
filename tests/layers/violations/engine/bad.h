#include "codecs/riff.h"
