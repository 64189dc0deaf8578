#include "ui/SerialLists.h"

#include "transport/SerialVocabulary.h"
#include "ui/DialogView.h"

namespace {
// Entries are appended in the order given, never sorted, even in a list that asks for sorting:
// the port numbers, rates and codes must read in their natural order.
template <size_t N>
int CodeFromText(const std::string& text, const std::array<const char*, N>& names, int nUnchanged) {
    for (size_t code = 0; code < N; ++code) {
        if (text == names[code]) {
            return static_cast<int>(code);
        }
    }
    return nUnchanged;
}

template <size_t N>
void FillNames(CDialogView& view, int nId, const std::array<const char*, N>& names, int nCode) {
    view.ResetContent(nId);
    for (const char* name : names) {
        view.AddString(nId, name);
    }
    const bool known = nCode >= 0 && nCode < static_cast<int>(N);
    view.SetCurSel(nId, known ? nCode : -1);
}
}  // namespace

void FillComPortList(CDialogView& view, int nId, int nConfiguredPort) {
    view.ResetContent(nId);
    int selected = -1;
    int count = 0;
    for (const int port : AvailableComPorts(nConfiguredPort)) {
        // Only ports 0 to 31 exist for the program; a stored number beyond them has no entry.
        if (port < kFirstProbedComPort || port > kLastProbedComPort) {
            continue;
        }
        if (port == nConfiguredPort) {
            selected = count;
        }
        view.AddString(nId, ComPortName(port));
        ++count;
    }
    view.SetCurSel(nId, selected);
}

void FillBaudRateList(CDialogView& view, int nId, uint32_t dwBaudRate) {
    view.ResetContent(nId);
    int selected = -1;
    int count = 0;
    for (const uint32_t rate : kBaudRates) {
        if (rate == dwBaudRate) {
            selected = count;
        }
        view.AddString(nId, std::to_string(rate));
        ++count;
    }
    view.SetCurSel(nId, selected);
}

void FillParityList(CDialogView& view, int nId, int nParity) {
    FillNames(view, nId, kParityNames, nParity);
}

void FillStopBitList(CDialogView& view, int nId, int nStopBits) {
    FillNames(view, nId, kStopBitNames, nStopBits);
}

int ParityCodeFromText(const std::string& text, int nUnchanged) {
    return CodeFromText(text, kParityNames, nUnchanged);
}

int StopBitCodeFromText(const std::string& text, int nUnchanged) {
    return CodeFromText(text, kStopBitNames, nUnchanged);
}
