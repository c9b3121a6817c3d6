#include "commandoptions.h"

#include "paramstore.h"

#include <QSet>

namespace {

// The program's own options, and those Qt's application objects read on X11 and Wayland.
const char *const known[] = {
    "-c",
    "-config",
    "-e",
    "-noGui",
    "-batch",
    "-resume",
    "-joblog",
    "-plot",
    "-export",
    "-legend",
    "-kweight",
    "-space",
    "-ft",
    "-debug",
    "-measured",
    "-measured-chi",
    "-columns",
    "-bkg",
    "-e0",
    "-fit",
    "-element",
    "-rank",
    "--help",
    "-h",
    "--version",
    "-platform",
    "-platformpluginpath",
    "-platformtheme",
    "-plugin",
    "-qwindowgeometry",
    "-qwindowtitle",
    "-qwindowicon",
    "-reverse",
    "-style",
    "-stylesheet",
    "-session",
    "-widgetcount",
    "-display",
    "-geometry",
    "-title",
    "-name",
    "-visual",
    "-ncols",
    "-cmap",
    "-nograb",
    "-dograb",
    "-sync",
    "-fn",
    "-font",
    "-bg",
    "-background",
    "-fg",
    "-foreground",
    "-btn",
    "-button",
    "-im",
    "-inputstyle",
    "-qmljsdebugger",
};

} // namespace

QStringList unknownOptions(const ParamStore &commandLine)
{
    static const QSet<QString> names = [] {
        QSet<QString> set;
        for (const char *name : known)
            set.insert(QString::fromLatin1(name));
        return set;
    }();
    QStringList unknown;
    for (const QString &key : commandLine.keys())
        if (!names.contains(key))
            unknown << key;
    return unknown;
}
