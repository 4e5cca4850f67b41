#include "app/start_up.h"

#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(TessaravoltPlugin)

// The program's entry, the same start-up on every platform.
int qMain(int argc, char** argv)
{
    return tessaravolt::app::runApplication(argc, argv);
}

int main(int argc, char** argv)
{
    return qMain(argc, argv);
}
