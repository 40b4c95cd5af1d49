#pragma once

#include <QString>

// Text made safe to print on a terminal. Version texts and failure descriptions come from the
// server or from files, and a terminal obeys control characters in them: an escape sequence
// could retitle, clear or rewrite the user's screen. Every control character (C0, DEL, C1) and
// every invisible formatting character (bidirectional overrides, line and paragraph
// separators) is shown as an escape instead, \x1B or \u202E, so the user sees what arrived.
QString ForTerminal(const QString& text);
