#pragma once

#include <QStringList>

// Starts the desktop application: `trimora [--library DIR] [VIDEO]`. Returns the exit
// status when the window closes.
int runDesktopApp(int& argc, char** argv);
