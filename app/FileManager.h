#pragma once

#include <QStringList>

// Shows files in the desktop's file manager with them selected, through the
// org.freedesktop.FileManager1 D-Bus service; where no file manager offers it, the
// folder of the first file is opened instead. Returns at once.
void showInFileManager(const QStringList& files);
