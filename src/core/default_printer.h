#pragma once

#include <string>
#include <string_view>
#include <vector>

// <winspool.h> defines GetDefaultPrinter as a macro for its A/W functions; a file that
// includes it before this header still reaches ours (include it after, and the name no
// longer compiles).
#ifdef GetDefaultPrinter
#undef GetDefaultPrinter
#endif

namespace vexora {

// The printer operations of the options window, as the operating system offers them:
// CUPS destinations on Linux (named "queue" or "queue/instance", as Qt names them), the
// spooler's printers on Windows. Every call asks the system afresh; nothing is cached.

// Names of the installed printers, in the platform's order; empty when there are none or
// the print system does not answer.
std::vector<std::string> installedPrinterNames();

// GetDefaultPrinter: the name of the current default printer as installedPrinterNames()
// spells it; empty when there is none (or it is not one of the installed printers).
std::string GetDefaultPrinter();

// ImpostaStampantePredefinita: makes the installed printer of exactly that name the
// user's default printer (on Linux the user's default destination, as `lpoptions -d`
// sets it; on Windows the profile's "windows"/"device" entry, announced with
// WM_WININICHANGE). A name that is not installed changes nothing. True when the printer
// is now the default that GetDefaultPrinter reports.
bool ImpostaStampantePredefinita(std::string_view name);

}  // namespace vexora
