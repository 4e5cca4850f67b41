#include "app/start_up.h"

// The real start-up, given a root type that does not exist.
int main(int argc, char** argv)
{
    return tessaravolt::app::runApplication(argc, argv, QUrl(QStringLiteral("qrc:/no/such/Main.qml")));
}
