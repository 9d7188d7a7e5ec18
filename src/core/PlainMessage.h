#pragma once
// Plain notices from code that has no window of its own (the TIFF reader reports damaged
// files this way). The program installs a handler that shows a simple OK message box;
// tests install one that collects the texts. With no handler the text goes to stderr.
#include <QString>

#include <functional>

using PlainMessageHandler = std::function<void(const QString &)>;

// Shows text through the installed handler.
void ShowPlainMessage(const QString &text);

// Installs handler (an empty one restores the stderr default) and returns the previous one.
PlainMessageHandler setPlainMessageHandler(PlainMessageHandler handler);
