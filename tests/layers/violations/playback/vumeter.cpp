#include <QWidget>
#include "editor/main.h"
