#pragma once

#include <QString>

#include "EditorServices.h"

class QWidget;

// The application's screens by their scene names. "cutterController" is the editor;
// any other name is a programming error.
QWidget* instantiateViewController(const QString& identifier, const EditorServices& services);
