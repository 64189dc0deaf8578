#include "ui/SerialLists.h"

#include <QComboBox>

#include "transport/SerialVocabulary.h"

namespace {
// Entries are appended in the order given, never sorted, even in a list that asks for sorting:
// the port numbers, rates and codes must read in their natural order.
void SelectOrClear(QComboBox* pList, int nIndex) {
    pList->setCurrentIndex(nIndex);
    if (nIndex < 0 && pList->isEditable()) {
        pList->setEditText(QString());
    }
}

template <size_t N>
int CodeFromText(const QComboBox* pList, const std::array<const char*, N>& names, int nUnchanged) {
    const QString text = pList->currentText();
    for (size_t code = 0; code < N; ++code) {
        if (text == QLatin1String(names[code])) {
            return static_cast<int>(code);
        }
    }
    return nUnchanged;
}
}  // namespace

void FillComPortList(QComboBox* pList, int nConfiguredPort) {
    pList->clear();
    int selected = -1;
    for (const int port : AvailableComPorts(nConfiguredPort)) {
        // Only ports 0 to 31 exist for the program; a stored number beyond them has no entry.
        if (port < kFirstProbedComPort || port > kLastProbedComPort) {
            continue;
        }
        if (port == nConfiguredPort) {
            selected = pList->count();
        }
        pList->addItem(QString::fromStdString(ComPortName(port)));
    }
    SelectOrClear(pList, selected);
}

void FillBaudRateList(QComboBox* pList, uint32_t dwBaudRate) {
    pList->clear();
    int selected = -1;
    for (const uint32_t rate : kBaudRates) {
        if (rate == dwBaudRate) {
            selected = pList->count();
        }
        pList->addItem(QString::number(rate));
    }
    SelectOrClear(pList, selected);
}

void FillParityList(QComboBox* pList, int nParity) {
    pList->clear();
    for (const char* name : kParityNames) {
        pList->addItem(QLatin1String(name));
    }
    const bool known = nParity >= 0 && nParity < static_cast<int>(kParityNames.size());
    SelectOrClear(pList, known ? nParity : -1);
}

void FillStopBitList(QComboBox* pList, int nStopBits) {
    pList->clear();
    for (const char* name : kStopBitNames) {
        pList->addItem(QLatin1String(name));
    }
    const bool known = nStopBits >= 0 && nStopBits < static_cast<int>(kStopBitNames.size());
    SelectOrClear(pList, known ? nStopBits : -1);
}

int ParityCodeFromText(const QComboBox* pList, int nUnchanged) {
    return CodeFromText(pList, kParityNames, nUnchanged);
}

int StopBitCodeFromText(const QComboBox* pList, int nUnchanged) {
    return CodeFromText(pList, kStopBitNames, nUnchanged);
}
