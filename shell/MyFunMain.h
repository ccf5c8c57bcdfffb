#pragma once
class QApplication;

// Start-up: opens the database in the program's folder, sets the application title and shows
// the login dialog modally.
void Main();

// The whole run: Main, then the event loop for as long as the main frame is open.
int RunQuillmark(QApplication &app);
