#pragma once
#include <QString>

// The file engine sorts an empty value (NULL) before every other in ascending order and after
// every other in descending order; the server does the opposite. Each sort key of every
// "ORDER BY" outside quoted text that does not say where its NULLs go gets the file's rule, so
// that both engines give the same rows in the same order.
QString SortNullsAsTheFile(const QString &statement);
