#include "data/ServerUpgrade.h"

#include "data/Engine.h"

void UpgradeServerTo2(Connection &) {}
