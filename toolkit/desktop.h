#pragma once

namespace brix
{
// Shows an error to the person running the game: the caption and the text go to stderr
// and to the log. Never blocks or waits for input, so it is safe with no terminal.
void showErrorPopUp(const char* text, const char* caption);

// Opens an http:// or https:// address with the desktop's default handler (xdg-open,
// started without a shell). Other addresses are refused and logged. Returns without
// waiting for the handler; its result is not reported.
void launchWebBrowser(const char* address);
} // namespace brix
