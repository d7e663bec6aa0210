#include "Scenes.h"

#include <QtGlobal>

#include "CutterViewController.h"

QWidget* instantiateViewController(const QString& identifier, const EditorServices& services)
{
    if (identifier == QLatin1String("cutterController"))
        return new CutterViewController(services);
    qFatal("no scene named \"%s\"", qPrintable(identifier));
}
