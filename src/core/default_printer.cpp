#ifdef _WIN32

#include <windows.h>
#include <winspool.h>

#include "core/default_printer.h"  // after winspool.h: drops its GetDefaultPrinter macro

#include <cwchar>

namespace vexora {
namespace {

std::wstring widen(std::string_view text) {
    if (text.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                      static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                        wide.data(), n);
    return wide;
}

std::string narrow(const std::wstring& wide) {
    if (wide.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return {};
    std::string text(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n,
                        nullptr, nullptr);
    return text;
}

// Local printers and printer connections, in the spooler's order.
std::vector<std::wstring> printerNamesW() {
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    std::vector<std::wstring> names;
    DWORD needed = 0;
    DWORD returned = 0;
    EnumPrintersW(flags, nullptr, 4, nullptr, 0, &needed, &returned);
    // A printer added between the two calls makes the buffer too small: ask again.
    for (int attempt = 0; attempt < 3 && needed > 0; ++attempt) {
        std::vector<BYTE> buffer(needed);
        if (EnumPrintersW(flags, nullptr, 4, buffer.data(), needed, &needed, &returned)) {
            const auto* info = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
            for (DWORD i = 0; i < returned; ++i) {
                if (info[i].pPrinterName)
                    names.emplace_back(info[i].pPrinterName);
            }
            break;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            break;
    }
    return names;
}

std::wstring defaultPrinterW() {
    DWORD size = 0;
    GetDefaultPrinterW(nullptr, &size);
    if (size == 0)
        return {};
    std::wstring name(size, L'\0');
    if (!GetDefaultPrinterW(name.data(), &size))
        return {};
    name.resize(std::wcslen(name.c_str()));
    return name;
}

// Driver and port of a printer for the profile's device line: the spooler keeps them in
// the "Devices" section ("winspool,Ne01:"); a printer missing there (some connections)
// gets the spooler as driver and the port of its own record.
bool driverAndPort(const std::wstring& printer, std::wstring& driver, std::wstring& port) {
    wchar_t entry[1024] = {};
    const DWORD n = GetProfileStringW(L"Devices", printer.c_str(), L"", entry, 1024);
    const std::wstring text(entry, n);
    if (const auto comma = text.find(L','); comma != std::wstring::npos) {
        driver = text.substr(0, comma);
        port = text.substr(comma + 1);
        return true;
    }
    HANDLE handle = nullptr;
    if (!OpenPrinterW(const_cast<LPWSTR>(printer.c_str()), &handle, nullptr))
        return false;
    bool ok = false;
    DWORD needed = 0;
    GetPrinterW(handle, 2, nullptr, 0, &needed);
    if (needed > 0) {
        std::vector<BYTE> buffer(needed);
        if (GetPrinterW(handle, 2, buffer.data(), needed, &needed)) {
            const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
            driver = L"winspool";
            port = info->pPortName ? info->pPortName : L"";
            ok = true;
        }
    }
    ClosePrinter(handle);
    return ok;
}

}  // namespace

std::vector<std::string> installedPrinterNames() {
    std::vector<std::string> names;
    for (const auto& name : printerNamesW())
        names.push_back(narrow(name));
    return names;
}

std::string GetDefaultPrinter() {
    const std::wstring current = defaultPrinterW();
    if (current.empty())
        return {};
    for (const auto& name : printerNamesW()) {
        if (name == current)
            return narrow(name);
    }
    return {};
}

bool ImpostaStampantePredefinita(std::string_view name) {
    const std::wstring wanted = widen(name);
    if (wanted.empty())
        return false;
    bool written = false;
    for (const auto& printer : printerNamesW()) {
        if (printer != wanted)
            continue;
        std::wstring driver;
        std::wstring port;
        if (!driverAndPort(printer, driver, port))
            continue;
        const std::wstring device = printer + L"," + driver + L"," + port;
        if (WriteProfileStringW(L"windows", L"device", device.c_str())) {
            SendMessageW(HWND_BROADCAST, WM_WININICHANGE, 0, reinterpret_cast<LPARAM>(L"windows"));
            written = true;
        }
    }
    return written && GetDefaultPrinter() == name;
}

}  // namespace vexora

#else  // CUPS

#include <cups/cups.h>

#include "core/default_printer.h"

namespace vexora {
namespace {

// The destinations as libcups sees them for this user: the server's queues with the
// user's lpoptions applied (its Default line, or the PRINTER / LPDEST variables).
class Destinations {
public:
    Destinations() {
        count_ = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests_);
        if (count_ < 0 || !dests_)
            count_ = 0;
    }
    ~Destinations() { cupsFreeDests(count_, dests_); }
    Destinations(const Destinations&) = delete;
    Destinations& operator=(const Destinations&) = delete;

    int count() const { return count_; }
    cups_dest_t& at(int i) { return dests_[i]; }
    cups_dest_t* data() { return dests_; }
    // The destination marked as the default, or null.
    const cups_dest_t* defaultDest() { return cupsGetDest(nullptr, nullptr, count_, dests_); }

private:
    int count_ = 0;
    cups_dest_t* dests_ = nullptr;
};

// "queue" or "queue/instance".
std::string destName(const cups_dest_t& dest) {
    std::string name = dest.name ? dest.name : "";
    if (dest.instance) {
        name += '/';
        name += dest.instance;
    }
    return name;
}

}  // namespace

std::vector<std::string> installedPrinterNames() {
    Destinations dests;
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(dests.count()));
    for (int i = 0; i < dests.count(); ++i)
        names.push_back(destName(dests.at(i)));
    return names;
}

std::string GetDefaultPrinter() {
    Destinations dests;
    const cups_dest_t* current = dests.defaultDest();
    return current ? destName(*current) : std::string();
}

bool ImpostaStampantePredefinita(std::string_view name) {
    Destinations dests;
    int chosen = -1;
    for (int i = 0; i < dests.count(); ++i) {
        if (destName(dests.at(i)) == name)
            chosen = i;
    }
    if (chosen < 0)
        return false;
    for (int i = 0; i < dests.count(); ++i)
        dests.at(i).is_default = i == chosen ? 1 : 0;
    // Writes the user's lpoptions file (its Default line), as `lpoptions -d` does.
    if (cupsSetDests2(CUPS_HTTP_DEFAULT, dests.count(), dests.data()) != 0)
        return false;
    return GetDefaultPrinter() == name;
}

}  // namespace vexora

#endif
