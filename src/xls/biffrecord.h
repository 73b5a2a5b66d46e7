#pragma once

#include <QtGlobal>

// BIFF8 record types, as the workbook writer and reader name them.
enum BiffRecord : quint16 {
    RecFormula = 0x0006,
    RecEof = 0x000A,
    RecDateMode = 0x0022,
    RecFilePass = 0x002F,
    RecFont = 0x0031,
    RecContinue = 0x003C,
    RecWindow1 = 0x003D,
    RecCodePage = 0x0042,
    RecDefColWidth = 0x0055,
    RecColInfo = 0x007D,
    RecBoundSheet = 0x0085,
    RecMulRk = 0x00BD,
    RecRString = 0x00D6,
    RecXf = 0x00E0,
    RecSst = 0x00FC,
    RecLabelSst = 0x00FD,
    RecExtSst = 0x00FF,
    RecDimensions = 0x0200,
    RecNumber = 0x0203,
    RecLabel = 0x0204,
    RecBoolErr = 0x0205,
    RecString = 0x0207,
    RecArray = 0x0221,
    RecTable = 0x0236,
    RecWindow2 = 0x023E,
    RecRk = 0x027E,
    RecStyle = 0x0293,
    RecFormat = 0x041E,
    RecSharedFormula = 0x04BC,
    RecBof = 0x0809,
};
