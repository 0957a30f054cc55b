#include <QWidget>
#include "editor/mainwindow.h"
