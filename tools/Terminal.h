#pragma once
// What the terminal tools ask of the person at the terminal.
#include <QString>

// A line typed without showing it (a password), after the prompt on standard error.
QString ReadLineHidden(const char *prompt);
