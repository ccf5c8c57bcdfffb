#pragma once
class Connection;
// Turns a server database of schema version 1 into version 2; run as the server's superuser
// inside the upgrade's one transaction.
void UpgradeServerTo2(Connection &db);
