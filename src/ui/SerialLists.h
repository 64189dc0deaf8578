#pragma once
// Fills the serial setting lists both option dialogs offer, in the order the program shows
// them, and selects the entry of a stored value; a value with no entry leaves the list without a
// selection (and an editable list with an empty field). Reading back goes by the list's text,
// which the user may also have typed. User-interface thread only; nothing here fails.
#include <cstdint>
#include <string>

class CDialogView;

// Ports 0 to 31 that can be opened now, plus the configured one.
void FillComPortList(CDialogView& view, int nId, int nConfiguredPort);
void FillBaudRateList(CDialogView& view, int nId, uint32_t dwBaudRate);
void FillParityList(CDialogView& view, int nId, int nParity);
void FillStopBitList(CDialogView& view, int nId, int nStopBits);

// The code of the first name equal to `text` (exact, case-sensitive), or `nUnchanged`.
int ParityCodeFromText(const std::string& text, int nUnchanged);
int StopBitCodeFromText(const std::string& text, int nUnchanged);
