#include "app/mac_app_relocator_stub.h"

bool relocateMacAppIfNeeded()
{
    return true;
}
