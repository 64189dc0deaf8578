#pragma once
// Fills the serial setting lists both option dialogs offer, in the order the program shows
// them, and selects the entry of a stored value; a value with no entry leaves the list
// without a selection (and an editable list with an empty field). GUI thread only.
#include <cstdint>

class QComboBox;

// Ports 0 to 31 that can be opened now, plus the configured one.
void FillComPortList(QComboBox* pList, int nConfiguredPort);
void FillBaudRateList(QComboBox* pList, uint32_t dwBaudRate);
void FillParityList(QComboBox* pList, int nParity);
void FillStopBitList(QComboBox* pList, int nStopBits);

// The code of the first name equal to the list's text (exact, case-sensitive), or `nUnchanged`.
int ParityCodeFromText(const QComboBox* pList, int nUnchanged);
int StopBitCodeFromText(const QComboBox* pList, int nUnchanged);
