#pragma once
// Shows plain notices (core/PlainMessage.h) in the platform's simple message box with an
// OK button, through the dialog service so tests never see a window.

// Installs the message-box handler; called once when the program starts.
void installPlainMessageBox();
